#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

// Parses JSON text into *document as nlohmann::json::parse does, except that the entries of
// one list of the top-level object (a recording's per-frame list) are not kept: each is
// handed to onEntry when it ends and dropped, so a reader holds one entry at a time rather
// than a tree of millions. The list itself is left empty in *document. False with a
// one-line reason in *error for text that is not JSON or that lists listKey twice (the
// entries of the first are gone); what onEntry throws passes through.
bool ParseWithStreamedList(const std::string& text, const std::string& listKey,
                           const std::function<void(const nlohmann::json& entry)>& onEntry,
                           nlohmann::json* document, std::string* error);
