#include "agent/agent_status.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

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
    // Replaced at once, so that --status never reads half a file.
    const std::string temporary = path_ + ".new";
    {
        std::ofstream file(temporary, std::ios::trunc);
        for (const auto& [name, text] : values_) {
            if (!text.empty()) {
                file << name << ": " << text << "\n";
            }
        }
    }
    std::rename(temporary.c_str(), path_.c_str());
}

std::string AgentStatus::Get(const std::string& key) const {
    const auto found = values_.find(key);
    return found != values_.end() ? found->second : std::string();
}

std::string AgentStatus::Read(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return file ? text.str() : std::string();
}
