// The floor for whole-process timings: a C++ program that does nothing, built and linked like the
// sidecar, so the ratio shows what the sidecar's own work costs over starting a process at all.
int main() { return 0; }
