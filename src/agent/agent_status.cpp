#include "agent/agent_status.h"

#include <unistd.h>

#include "platform/user_files.h"

namespace {

// A few short lines; anything larger is no status of ours.
constexpr size_t kMaxStatusBytes = size_t{64} << 10;

}  // namespace

AgentStatus::~AgentStatus() {
    if (!path_.empty()) {
        ::unlink(path_.c_str());  // a stopped agent says nothing
    }
}

std::string AgentStatus::PathIn(const std::string& lockFolder) {
    return lockFolder + "/kestrine-config-agent.status";
}

void AgentStatus::Set(const std::string& key, const std::string& value) {
    if (values_[key] == value || path_.empty()) {
        values_[key] = value;
        return;
    }
    values_[key] = value;
    std::string lines;
    for (const auto& [name, text] : values_) {
        if (!text.empty()) {
            lines += name + ": " + text + "\n";
        }
    }
    // Replaced at once, so that --status never reads half a file. A status
    // that cannot be written leaves the last one; the agent goes on.
    std::string unused;
    WriteUserFile(path_, lines, "the agent's status", unused);
}

std::string AgentStatus::Get(const std::string& key) const {
    const auto found = values_.find(key);
    return found != values_.end() ? found->second : std::string();
}

std::string AgentStatus::Read(const std::string& path) {
    std::string text;
    std::string unused;
    return ReadUserFile(path, kMaxStatusBytes, "the agent's status", text, unused) ? text
                                                                                   : std::string();
}
