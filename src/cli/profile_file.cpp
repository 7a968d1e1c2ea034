#include "cli/profile_file.h"

#include <istream>
#include <ostream>

bool ReadFileOrStdin(const std::string& path, std::istream& in, size_t maxBytes,
                     const std::string& kind, std::string& text, std::string& error) {
    if (path != "-") {
        return ReadUserFile(path, maxBytes, kind, text, error);
    }
    // One byte more than allowed tells input that is too large.
    std::string buffer(maxBytes + 1, '\0');
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) {
        error = "<stdin>: cannot be read";
        return false;
    }
    buffer.resize(static_cast<size_t>(in.gcount()));
    if (buffer.size() > maxBytes) {
        error = "<stdin>: too large for " + kind + " (more than " + SizeText(maxBytes) + ")";
        return false;
    }
    text = std::move(buffer);
    return true;
}

WriteResult WriteFileOrStdout(const std::string& path, std::ostream& out, const std::string& text,
                              const std::string& kind, std::string& error) {
    if (path != "-") {
        return WriteUserFile(path, text, kind, error);
    }
    out << text;
    out.flush();
    if (!out) {
        error = "<stdout>: cannot be written";
        return WriteResult::Failed;
    }
    return WriteResult::Written;
}
