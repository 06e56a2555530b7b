// The floor of the folder-listing benchmark: a plain FindFirstFileW/FindNextFileW loop over
// a folder, counting its files. Prints the best time of several runs.
// Usage: floor.exe <folder> [runs]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

long CountFiles(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    long files = 0;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return files;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: floor.exe <folder> [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? _wtoi(argv[2]) : 5;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    double best = 1e300;
    long files = 0;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        files = CountFiles(argv[1]);
        QueryPerformanceCounter(&end);
        double ms =
            1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
        if (ms < best) best = ms;
    }
    std::printf("floor_ms=%.1f files=%ld\n", best, files);
    return 0;
}
