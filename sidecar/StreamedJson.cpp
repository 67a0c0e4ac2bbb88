#include "sidecar/StreamedJson.h"

#include <utility>
#include <vector>

using nlohmann::json;

namespace {

// nlohmann's SAX events turned into a tree, as its own parser builds one, with the entries
// of the streamed list handed on as each ends.
class StreamingBuilder {
  public:
    StreamingBuilder(const std::string& listKey, const std::function<void(const json&)>& onEntry,
                     json* root)
        : m_listKey(listKey), m_onEntry(onEntry), m_root(root) {}

    bool null() { return Value(nullptr); }
    bool boolean(bool value) { return Value(value); }
    bool number_integer(json::number_integer_t value) { return Value(value); }
    bool number_unsigned(json::number_unsigned_t value) { return Value(value); }
    bool number_float(json::number_float_t value, const std::string&) { return Value(value); }
    bool string(std::string& value) { return Value(std::move(value)); }
    bool binary(json::binary_t& value) { return Value(std::move(value)); }
    bool start_object(std::size_t) { return Open(json::value_t::object); }
    bool start_array(std::size_t) {
        const bool streamed =
            m_open.size() == 1 && m_open.back()->is_object() && m_key == m_listKey;
        if (streamed && m_listSeen) {
            // A second list would replace the first in a tree, but its entries are gone.
            m_error = "'" + m_listKey + "' is listed twice";
            return false;
        }
        m_listSeen = m_listSeen || streamed;
        Open(json::value_t::array);
        if (streamed) {
            m_list = m_open.back();
        }
        return true;
    }
    bool key(std::string& key) {
        m_key = std::move(key);
        return true;
    }
    bool end_object() { return Close(); }
    bool end_array() {
        if (m_open.back() == m_list) {
            m_list = nullptr;
        }
        return Close();
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
        m_error = std::string("not valid JSON: ") + e.what();
        return false;
    }

    const std::string& Error() const { return m_error; }

  private:
    // Places a value in the innermost open container (or makes it the root).
    json* Place(json value) {
        if (m_open.empty()) {
            *m_root = std::move(value);
            return m_root;
        }
        json& parent = *m_open.back();
        if (parent.is_array()) {
            return &parent.get_ref<json::array_t&>().emplace_back(std::move(value));
        }
        return &(parent.get_ref<json::object_t&>()[std::move(m_key)] = std::move(value));
    }
    bool Value(json value) {
        Place(std::move(value));
        HandOnIfEntry();
        return true;
    }
    bool Open(json::value_t type) {
        m_open.push_back(Place(json(type)));
        return true;
    }
    bool Close() {
        m_open.pop_back();
        HandOnIfEntry();
        return true;
    }
    // An entry of the streamed list has just ended: it is the list's one element.
    void HandOnIfEntry() {
        if (m_list != nullptr && !m_open.empty() && m_open.back() == m_list) {
            auto& entries = m_list->get_ref<json::array_t&>();
            m_onEntry(entries.back());
            entries.pop_back();
        }
    }

    const std::string& m_listKey;
    const std::function<void(const json&)>& m_onEntry;
    json* m_root;
    std::vector<json*> m_open;  // the containers being filled, outermost first
    json* m_list = nullptr;     // the streamed list while it is open
    bool m_listSeen = false;
    std::string m_key;  // the key of the next value in an object
    std::string m_error;
};

}  // namespace

bool ParseWithStreamedList(const std::string& text, const std::string& listKey,
                           const std::function<void(const json& entry)>& onEntry, json* document,
                           std::string* error) {
    StreamingBuilder builder(listKey, onEntry, document);
    if (!json::sax_parse(text, &builder)) {
        *error = builder.Error();
        return false;
    }
    return true;
}
