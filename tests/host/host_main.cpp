// The host tests run in one single-threaded apartment, as a VB or script host does.
#include <windows.h>
#include <objbase.h>

#include <string>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    // The test logger writes beside the test executable unless told otherwise.
    wchar_t existing[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"ZANKIT_TEST_LOGGER_FILE", existing, MAX_PATH) == 0) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        std::wstring file = std::wstring(temp) + L"zankit-logger-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        SetEnvironmentVariableW(L"ZANKIT_TEST_LOGGER_FILE", file.c_str());
    }
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
