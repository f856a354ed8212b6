#include "tests/common/PrivateRegistry.h"

#ifdef _WIN32
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

namespace testsupport {

namespace {

constexpr const char* kTestsKey = "Software\\Quirefold Tests";

// Redirects HKEY_CURRENT_USER of this process to a key of its own for the length of one test.
class PrivateRegistryListener : public testing::EmptyTestEventListener
{
public:
    void OnTestStart(const testing::TestInfo&) override
    {
        m_keyPath = std::string(kTestsKey) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(++m_count);
        // Whatever an earlier run with the same number left behind goes first.
        RegDeleteTreeA(HKEY_CURRENT_USER, m_keyPath.c_str());
        HKEY root = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, m_keyPath.c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &root,
                            nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CURRENT_USER, root) != ERROR_SUCCESS) {
            // Running on without the redirection would touch the real settings.
            std::fprintf(stderr, "cannot give the test a private registry key\n");
            std::abort();
        }
        RegCloseKey(root);
    }

    void OnTestEnd(const testing::TestInfo&) override
    {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegDeleteTreeA(HKEY_CURRENT_USER, m_keyPath.c_str());
        // Fails while other test programs still have keys in it, which is what we want.
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestsKey);
    }

private:
    std::string m_keyPath;
    unsigned m_count = 0;
};

} // namespace

void IsolateRegistry()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    testing::UnitTest::GetInstance()->listeners().Append(new PrivateRegistryListener);
}

} // namespace testsupport

#else

namespace testsupport {

void IsolateRegistry() {}

} // namespace testsupport

#endif
