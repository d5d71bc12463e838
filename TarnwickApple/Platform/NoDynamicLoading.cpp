// Stand-ins for dlopen, dlsym and dlclose in the static Linux executables. ICU's putil object
// carries the dynamic-loading hook of its plugin mechanism, which Debian's ICU is built without,
// so nothing ever calls it; yet its reference to dlopen draws the linker's warning that a static
// program's dlopen needs the shared libraries of the very glibc it was linked with. The link
// routes the hook's three calls here (--wrap): loading fails as if the file were absent.
#include <cerrno>

extern "C" {

void* __wrap_dlopen(const char*, int) {
  errno = ENOENT;
  return nullptr;
}

void* __wrap_dlsym(void*, const char*) { return nullptr; }

int __wrap_dlclose(void*) { return -1; }

}  // extern "C"
