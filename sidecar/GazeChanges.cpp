#include "sidecar/GazeChanges.h"

#include <string>

#include "sidecar/SidecarNumbers.h"

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
    const nlohmann::json& list = document.at("gaze");
    if (!list.is_array()) {
        throw SidecarRefusal{"gaze is not a list"};
    }
    for (const nlohmann::json& entry : list) {
        GazeChange change;
        change.frame = std::uint64_t(
            WholeNumber(entry.at("frame"), "gaze " + std::to_string(changes->size()) + ": frame", 0,
                        INT64_MAX));
        const std::string at = "gaze at frame " + std::to_string(change.frame) + ": ";
        change.x = RealNumber(entry.at("x"), at + "x", 0, 1);
        change.y = RealNumber(entry.at("y"), at + "y", 0, 1);
        change.field = RealNumber(entry.at("field"), at + "field", GazeChange::kLeastField,
                                  GazeChange::kMostField);
        changes->push_back(change);
    }
}
