/* Canary DLL for the DLL-planting test: copied under the name of a DLL a
 * program may load, beside that program. Loaded, it appends the program's
 * path to C:\canary\<its own file name>.txt.
 *
 * It imports from ntdll only, which is never looked for beside a program:
 * a canary in the place of kernel32 itself still leaves its mark before
 * the program falls over. Its exports are stubs made from MinGW's import
 * libraries (canary_stubs.py), so that a module importing from the DLL it
 * stands in for still loads and its DllMain runs. */
#include <windows.h>
#include <winternl.h>

/* GCC 12 takes NtCurrentTeb's read of fs:[0x18] for an out-of-bounds one. */
#pragma GCC diagnostic ignored "-Warray-bounds"

NTSTATUS NTAPI NtWriteFile(HANDLE file, HANDLE event, PVOID apc, PVOID context, PIO_STATUS_BLOCK io, PVOID buffer,
                           ULONG length, PLARGE_INTEGER offset, PULONG key);

/* Opens or creates an NT path ("\??\C:\..."): a folder, or a file to append to. */
static HANDLE Open(const wchar_t* path, BOOL folder) {
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;
    HANDLE handle = NULL;
    RtlInitUnicodeString(&name, path);
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, NULL, NULL);
    const NTSTATUS status = NtCreateFile(
        &handle, (folder ? FILE_LIST_DIRECTORY : FILE_APPEND_DATA) | SYNCHRONIZE, &attributes, &io, NULL,
        FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN_IF,
        FILE_SYNCHRONOUS_IO_NONALERT | (folder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE), NULL, 0);
    return NT_SUCCESS(status) ? handle : NULL;
}

/* The loader's full path of the module at base, or null. */
static const UNICODE_STRING* ModulePath(const void* base) {
    const PEB* peb = NtCurrentTeb()->ProcessEnvironmentBlock;
    const LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
    for (const LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
        const LDR_DATA_TABLE_ENTRY* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
        if (entry->DllBase == base) return &entry->FullDllName;
    }
    return NULL;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    const UNICODE_STRING* path = ModulePath(self);
    if (reason != DLL_PROCESS_ATTACH || !path) return TRUE;
    const USHORT chars = path->Length / sizeof(wchar_t);
    USHORT start = 0;
    for (USHORT i = 0; i < chars; ++i)
        if (path->Buffer[i] == L'\\' || path->Buffer[i] == L'/') start = i + 1;

    wchar_t marker[MAX_PATH];
    static const wchar_t kFolder[] = L"\\??\\C:\\canary";
    USHORT n = 0;
    for (const wchar_t* p = kFolder; *p && n < MAX_PATH - 8; ++p) marker[n++] = *p;
    marker[n] = 0;
    HANDLE folder = Open(marker, TRUE);
    if (folder) NtClose(folder);
    marker[n++] = L'\\';
    for (USHORT i = start; i < chars && n < MAX_PATH - 5; ++i) marker[n++] = path->Buffer[i];
    for (const wchar_t* p = L".txt"; *p; ++p) marker[n++] = *p;
    marker[n] = 0;
    HANDLE file = Open(marker, FALSE);
    if (!file) return TRUE;

    /* The program's path, UTF-8, and a line break. */
    const UNICODE_STRING* exe = &NtCurrentTeb()->ProcessEnvironmentBlock->ProcessParameters->ImagePathName;
    char line[3 * MAX_PATH + 1];
    ULONG cb = 0;
    for (USHORT i = 0; i < exe->Length / sizeof(wchar_t) && cb < sizeof(line) - 4; ++i) {
        const unsigned c = exe->Buffer[i];
        if (c < 0x80) {
            line[cb++] = (char)c;
        } else if (c < 0x800) {
            line[cb++] = (char)(0xC0 | c >> 6);
            line[cb++] = (char)(0x80 | (c & 0x3F));
        } else {
            line[cb++] = (char)(0xE0 | c >> 12);
            line[cb++] = (char)(0x80 | (c >> 6 & 0x3F));
            line[cb++] = (char)(0x80 | (c & 0x3F));
        }
    }
    line[cb++] = '\n';
    IO_STATUS_BLOCK io;
    NtWriteFile(file, NULL, NULL, NULL, &io, line, cb, NULL, NULL);
    NtClose(file);
    return TRUE;
}
