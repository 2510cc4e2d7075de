// ThreadSanitizer cannot see the locks inside the prebuilt Qt libraries, so an event handed
// from the timer's thread to the user-interface thread (allocated in one, freed in the other,
// under Qt's own posted-event lock) looks like a race. Allocations and frees made by Qt Core
// itself are left out of the analysis; every access made by our own code, including the
// queued calls' bodies, is still checked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n";
}
#endif
