// The ThreadSanitizer build of the window tests runs against the system's
// Qt, which was not built with the checker: the locks inside Qt and the
// GLib event loop under it (the event queue, the test library's watchdog)
// are invisible to it, so the memory calls those libraries make under them
// look unordered. Those calls are left out; every access made by this
// project's code is still checked, and the window's hand-over between
// threads orders itself with standard locks (ui/window_thread.h).
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n"
         "called_from_lib:libQt6Test.so.6\n"
         "called_from_lib:libglib-2.0.so.0\n";
}
