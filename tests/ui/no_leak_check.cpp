// Qt and fontconfig keep caches for the life of the process, which LeakSanitizer would report
// as leaks that are not ours; the toolkit tests therefore run without the leak check.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "detect_leaks=0";
}
