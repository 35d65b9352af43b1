// A registry held in memory, for tests: keys match without regard to letter
// case and enumerate in the registry's sorted order.
#pragma once

#include <map>
#include <memory>
#include <optional>

#include "standin/registry_store.h"

namespace standin {

struct Value {
    DWORD type;
    std::string data;
    bool operator==(const Value&) const = default;
};

class MemoryStore : public RegistryStore {
public:
    MemoryStore();  // the seven roots, each empty

    // Creates the key at `path` below `root` with any missing parents.
    void AddKey(HKEY root, std::string_view path);
    std::optional<Value> GetValue(HKEY root, std::string_view path,
                                  std::string_view value_name) const;
    bool HasKey(HKEY root, std::string_view path) const;

    LONG OpenKey(const KeyPath& key) override;
    LONG EnumSubkey(const KeyPath& key, DWORD index, std::string* name) override;
    LONG SetValue(const KeyPath& key, std::string_view value_name, DWORD type,
                  std::string_view data) override;

private:
    struct Node {
        std::string name;
        std::map<std::string, std::unique_ptr<Node>> subkeys;  // by folded name
        std::map<std::string, Value> values;                   // by folded name
    };
    const Node* Find(HKEY root, std::string_view path) const;

    std::map<HKEY, Node> roots_;
};

}  // namespace standin
