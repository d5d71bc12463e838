// The floor for whole-process timings: a program that does nothing and loads nothing but the C
// library, so the ratio shows everything the sidecar costs over starting a process at all.
int main() { return 0; }
