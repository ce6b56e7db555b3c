// Linked into every test program. fontconfig keeps blocks from parsing its
// configuration that it never frees (its own, not ours); without this the
// leak checker of the sanitizer build fails every test that draws text.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
