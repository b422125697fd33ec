// Read by the thread sanitizer at start-up; other builds never call it.
//
// Qt is not built with the sanitizer, so the locks inside it (its event queue, its thread pool) are
// invisible: memory that Qt allocates on one thread and frees or copies on another would be reported
// as a race. Calls that Qt's libraries make into the sanitizer's malloc, free and memcpy are ignored;
// every access of ours stays watched.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Multimedia.so.6\n";
}
