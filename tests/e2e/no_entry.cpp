// A module file without EntryPoint, for the launcher's refusal.
extern "C" __attribute__((visibility("default"))) int NotTheEntryPoint(int value) { return value; }
