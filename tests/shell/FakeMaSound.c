/* A stand-in SMAF emulator for the player tests: every MaSound_ call is
   appended as one line to the file named by FAKE_MASOUND_LOG. Built twice,
   with and without the newer emulator-control exports (FAKE_NEW_API). A sound
   whose bytes begin with "BAD" is refused by MaSound_Load. */
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int32_t (*EndNotification)(int32_t);
static EndNotification gEnd;

static void Log(const char* format, ...) {
    const char* path = getenv("FAKE_MASOUND_LOG");
    if (!path) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    va_list args;
    va_start(args, format);
    vfprintf(f, format, args);
    va_end(args);
    fputc('\n', f);
    fclose(f);
}

int32_t MaSound_Initialize(void) { Log("Initialize"); return 0; }
int32_t MaSound_Create(int32_t type) { Log("Create %d", type); return 7; }
int32_t MaSound_Load(int32_t func, const uint8_t* data, uint32_t size, int32_t mode, EndNotification end, void* ext) {
    Log("Load %d %u %d %s", func, size, mode, ext ? "ext" : "0");
    gEnd = end;
    return size >= 3 && memcmp(data, "BAD", 3) == 0 ? 0 : 3;
}
int32_t MaSound_Open(int32_t func, int32_t file, int32_t mode, void* ext) {
    Log("Open %d %d %d %s", func, file, mode, ext ? "ext" : "0");
    return 0;
}
int32_t MaSound_Standby(int32_t func, int32_t file, void* ext) { Log("Standby %d %d", func, file); (void)ext; return 0; }
int32_t MaSound_Control(int32_t func, int32_t file, int32_t ctrl, void* param, void* ext) {
    (void)ext;
    if (param)
        Log("Control %d %d %d %d", func, file, ctrl, *(int32_t*)param);
    else
        Log("Control %d %d %d 0", func, file, ctrl);
    return 0;
}
int32_t MaSound_Start(int32_t func, int32_t file, int32_t count, void* ext) {
    (void)ext;
    Log("Start %d %d %d", func, file, count);
    return 0;
}
int32_t MaSound_Stop(int32_t func, int32_t file, void* ext) { (void)ext; Log("Stop %d %d", func, file); return 0; }
int32_t MaSound_Close(int32_t func, int32_t file, void* ext) { (void)ext; Log("Close %d %d", func, file); return 0; }
int32_t MaSound_Unload(int32_t func, int32_t file, void* ext) { (void)ext; Log("Unload %d %d", func, file); return 0; }
int32_t MaSound_Delete(int32_t func) { Log("Delete %d", func); return 0; }
int32_t MaSound_Seek(int32_t func, int32_t file, uint32_t pos, int32_t flag, void* ext) {
    (void)func, (void)file, (void)pos, (void)flag, (void)ext;
    Log("Seek");
    return 0;
}

#ifdef FAKE_NEW_API
int32_t MaSound_GetEmuInfo(int32_t what) { Log("GetEmuInfo %d", what); return 8; }
int32_t MaSound_EmuInitialize(int32_t rate, int32_t a, int32_t b, uint32_t* info) {
    Log("EmuInitialize %d %d %d %s", rate, a, b, info ? "info" : "0");
    if (info) *info = 1;
    return 0;
}
int32_t MaSound_DeviceControl(int32_t cmd, int32_t p1, int32_t p2, int32_t p3) {
    Log("DeviceControl %d %d %d %d", cmd, p1, p2, p3);
    return 0;
}
int32_t MaSound_Terminate(void) { Log("Terminate"); return 0; }
int32_t MaSound_EmuTerminate(void) { Log("EmuTerminate"); return 0; }
#else
int32_t MaSound_End(void) { Log("End"); return 0; }
#endif

/* The end of the current sound, reported from a thread of the library's own
   as a real emulator might. */
static void* Finish(void* unused) {
    (void)unused;
    if (gEnd) gEnd(0);
    return NULL;
}
void FakeMaSound_Finish(void) {
    pthread_t t;
    if (pthread_create(&t, NULL, Finish, NULL) == 0) pthread_join(t, NULL);
}
