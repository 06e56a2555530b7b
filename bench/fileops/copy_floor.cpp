// The floor of FolderCopy: the same copy handed to the shell directly (SHFileOperationW with
// the flags FolderCopy uses without confirmation or window), timed the same way.
// Usage: copy_floor.exe <source folder> <destination base> <runs>; prints floor_ms.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    const std::wstring source = argv[1];
    const std::wstring base = argv[2];
    const int runs = _wtoi(argv[3]);
    ULONGLONG best = ~0ull;
    for (int run = 1; run <= runs; ++run) {
        const std::wstring target = base + L"\\floor" + std::to_wstring(run);
        CreateDirectoryW(target.c_str(), nullptr);
        const std::wstring from = source + L'\0';
        const std::wstring to = target + L'\0';
        SHFILEOPSTRUCTW copy = {};
        copy.wFunc = FO_COPY;
        copy.pFrom = from.c_str();
        copy.pTo = to.c_str();
        copy.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
        const ULONGLONG started = GetTickCount64();
        if (SHFileOperationW(&copy) != 0) std::printf("copy failed\n");
        best = std::min(best, GetTickCount64() - started);
        const std::wstring removeFrom = target + L'\0';
        SHFILEOPSTRUCTW remove = {};
        remove.wFunc = FO_DELETE;
        remove.pFrom = removeFrom.c_str();
        remove.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
        SHFileOperationW(&remove);
    }
    std::printf("floor_ms=%llu\n", best);
    return 0;
}
