#include "sidecar/GazeChanges.h"

void WriteGazeChanges(const std::vector<GazeChange>& changes, nlohmann::json* document) {
    if (changes.empty()) {
        return;  // the sidecars of other sources stay as they were
    }
    nlohmann::json list = nlohmann::json::array();
    for (const GazeChange& change : changes) {
        list.push_back(
            {{"frame", change.frame}, {"x", change.x}, {"y", change.y}, {"field", change.field}});
    }
    (*document)["gaze"] = std::move(list);
}

void AppendGazeChange(std::vector<GazeChange>* changes, const GazeChange& now) {
    if (changes->empty() || changes->back().x != now.x || changes->back().y != now.y ||
        changes->back().field != now.field) {
        changes->push_back(now);
    }
}

void ReadGazeChanges(const nlohmann::json& document, std::vector<GazeChange>* changes) {
    changes->clear();
    if (!document.contains("gaze")) {
        return;
    }
    for (const nlohmann::json& entry : document.at("gaze")) {
        changes->push_back({entry.at("frame").get<std::uint64_t>(), entry.at("x").get<double>(),
                            entry.at("y").get<double>(), entry.at("field").get<double>()});
    }
}
