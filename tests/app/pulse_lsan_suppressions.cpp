// Read by the leak checker at exit; other builds never call it.
//
// Qt Multimedia opens a PulseAudio context when it first lists the media devices (the controller lists
// its cameras at construction) and keeps it until the process ends; libpulse frees it in no exit hook.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\n"; }
