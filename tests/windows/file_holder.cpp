// Another program that keeps a file open, as a spreadsheet keeps the CSV file
// it shows, or a synchronisation tool the file it copies:
//   velmora_file_holder FILE none|read
// It opens FILE for reading, with no sharing at all ("none") or letting
// others read but not write ("read"), prints "holding" on standard output and
// keeps the file open until its standard input ends. When the file cannot be
// opened it prints "failed" and exits with status 1.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || (std::wcscmp(argv[2], L"none") != 0 && std::wcscmp(argv[2], L"read") != 0)) {
        std::fprintf(stderr, "usage: velmora_file_holder FILE none|read\n");
        return 2;
    }
    const DWORD sharing = std::wcscmp(argv[2], L"read") == 0 ? FILE_SHARE_READ : 0;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("failed\n");
        return 1;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char byte = 0;
    DWORD got = 0;
    while (ReadFile(input, &byte, 1, &got, nullptr) && got == 1) {
    }
    CloseHandle(file);
    return 0;
}
