// The stand-in services keep the platform's contracts.

#include "standin/registry_services.h"

#include "standin/test_registry.h"

namespace {

class RegistryServicesTest : public standin::RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        for (const char* key : {"Root\\b", "Root\\A_c", "Root\\aZ", "Root\\a[", "Root\\a{"}) {
            store_.AddKey(HKEY_LOCAL_MACHINE, key);
        }
    }
};

TEST_F(RegistryServicesTest, EnumeratesSubkeysInTheRegistrysOrder) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "ROOT", 0, KEY_READ, &key), ERROR_SUCCESS);
    std::vector<std::string> names;
    char name[260];
    DWORD index = 0;
    while (RegEnumKeyA(key, index++, name, sizeof name) == ERROR_SUCCESS) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a[", "A_c", "aZ", "a{", "b"}));
    EXPECT_EQ(RegEnumKeyA(key, 5, name, sizeof name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegEnumKeyA(key, 0, name, 2), ERROR_MORE_DATA);
    EXPECT_EQ(RegEnumKeyA(key, 0, name, 3), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryServicesTest, HandlesFollowThePlatformsRules) {
    HKEY key;
    const BYTE data[] = "x";
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Root\\b\\", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, data, 2), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, data, 2), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(nullptr, "Root", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Root\\\\b", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    // Subkey paths longer than 260 characters are refused, existing or not.
    store_.AddKey(HKEY_LOCAL_MACHINE, std::string(255, 'k') + "\\" + std::string(5, 'k'));
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(255, 'k').append("\\kkkk").c_str(), 0,
                            KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, std::string(255, 'k').append("\\kkkkk").c_str(), 0,
                            KEY_READ, &key),
              ERROR_MORE_DATA);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Root", 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    HKEY below;
    ASSERT_EQ(RegOpenKeyExA(key, "B", 0, KEY_SET_VALUE, &below), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(below, "v", 0, REG_SZ, data, 2), ERROR_SUCCESS);
    EXPECT_EQ(store_.GetValue(HKEY_LOCAL_MACHINE, "root\\B", "V"),
              (standin::Value{REG_SZ, std::string("x\0", 2)}));
    EXPECT_EQ(standin::OpenHandleCount(), 2);
    RegCloseKey(below);
    RegCloseKey(key);
}

}  // namespace
