#include "standin/memory_store.h"

#include <cstdint>

#include "standin/text_fold.h"

namespace standin {

MemoryStore::MemoryStore() {
    for (std::uintptr_t root = 0x80000000; root <= 0x80000006; ++root) {
        roots_[reinterpret_cast<HKEY>(root)];
    }
}

const MemoryStore::Node* MemoryStore::Find(HKEY root, std::string_view path) const {
    const auto found_root = roots_.find(root);
    if (found_root == roots_.end()) {
        return nullptr;
    }
    const Node* node = &found_root->second;
    for (std::string_view segment : SplitKeyPath(path)) {
        const auto found = node->subkeys.find(FoldCase(segment));
        if (found == node->subkeys.end()) {
            return nullptr;
        }
        node = found->second.get();
    }
    return node;
}

void MemoryStore::AddKey(HKEY root, std::string_view path) {
    Node* node = &roots_[root];
    for (std::string_view segment : SplitKeyPath(path)) {
        std::unique_ptr<Node>& child = node->subkeys[FoldCase(segment)];
        if (!child) {
            child = std::make_unique<Node>();
            child->name = segment;
        }
        node = child.get();
    }
}

bool MemoryStore::HasKey(HKEY root, std::string_view path) const {
    return Find(root, path) != nullptr;
}

std::optional<Value> MemoryStore::GetValue(HKEY root, std::string_view path,
                                           std::string_view value_name) const {
    const Node* node = Find(root, path);
    if (node == nullptr) {
        return std::nullopt;
    }
    const auto found = node->values.find(FoldCase(value_name));
    if (found == node->values.end()) {
        return std::nullopt;
    }
    return found->second;
}

LONG MemoryStore::OpenKey(const KeyPath& key) {
    return Find(key.root, key.path) != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG MemoryStore::EnumSubkey(const KeyPath& key, DWORD index, std::string* name) {
    const Node* node = Find(key.root, key.path);
    if (node == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (index >= node->subkeys.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    *name = std::next(node->subkeys.begin(), index)->second->name;
    return ERROR_SUCCESS;
}

LONG MemoryStore::SetValue(const KeyPath& key, std::string_view value_name, DWORD type,
                           std::string_view data) {
    Node* node = const_cast<Node*>(Find(key.root, key.path));
    if (node == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    node->values[FoldCase(value_name)] = Value{type, std::string(data)};
    return ERROR_SUCCESS;
}

}  // namespace standin
