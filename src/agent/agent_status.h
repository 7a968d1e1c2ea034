#pragma once

#include <map>
#include <string>

// What the running agent tells `kestrine-config agent --status`: a few
// "key: value" lines in a file beside its lock, rewritten whole on each change.
class AgentStatus {
public:
    static constexpr char kMouse[] = "mouse";
    static constexpr char kNotices[] = "notices";
    static constexpr char kProblem[] = "problem";

    // Empty path: nothing is written.
    explicit AgentStatus(std::string path) : path_(std::move(path)) {}
    ~AgentStatus();
    AgentStatus(const AgentStatus&) = delete;
    AgentStatus& operator=(const AgentStatus&) = delete;

    // An empty value leaves the key out.
    void Set(const std::string& key, const std::string& value);
    std::string Get(const std::string& key) const;

    static std::string PathIn(const std::string& lockFolder);
    // The file's lines, for --status; empty when there is none.
    static std::string Read(const std::string& path);

private:
    std::string path_;
    std::map<std::string, std::string> values_;
};
