// The built module, loaded as a host loads it: only through its exported entry
// points and the VST 2 record.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Vst2.h"

namespace {

VstIntPtr VSTCALL PlainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

struct LoadedModule {
  void* handle = dlopen(KELVANE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ~LoadedModule() {
    if (handle) dlclose(handle);
  }
  using Entry = AEffect* (*)(audioMasterCallback);
  Entry EntryNamed(const char* name) const { return reinterpret_cast<Entry>(dlsym(handle, name)); }
};

TEST(Module, ExportsBothEntryPointsAndNothingElseOfOurs) {
  LoadedModule module;
  ASSERT_NE(module.handle, nullptr) << dlerror();
  ASSERT_NE(module.EntryNamed("VSTPluginMain"), nullptr);
  ASSERT_NE(module.EntryNamed("main"), nullptr);
  EXPECT_EQ(module.EntryNamed("HostCallback"), nullptr);
  EXPECT_EQ(module.EntryNamed("CreateEffectInstance"), nullptr);
  for (const char* name : {"VSTPluginMain", "main"}) {
    AEffect* effect = module.EntryNamed(name)(&PlainHost);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->dispatcher(effect, effIdentify, 0, 0, nullptr, 0.0f), 1316373862);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
}

TEST(Module, ReportsKelvanesIdentity) {
  LoadedModule module;
  ASSERT_NE(module.handle, nullptr) << dlerror();
  AEffect* effect = module.EntryNamed("VSTPluginMain")(&PlainHost);
  ASSERT_NE(effect, nullptr);
  char text[256] = {};
  effect->dispatcher(effect, effGetEffectName, 0, 0, text, 0.0f);
  EXPECT_STREQ(text, "Kelvane");
  effect->dispatcher(effect, effGetVendorString, 0, 0, text, 0.0f);
  EXPECT_STREQ(text, "Ulmor");
  EXPECT_EQ(effect->uniqueID, VstFourCC('k', 'v', 'l', 'n'));
  EXPECT_EQ(effect->version, 1000);
  EXPECT_EQ(effect->initialDelay, 0);
  EXPECT_TRUE(effect->flags & effFlagsCanDoubleReplacing);
  EXPECT_TRUE(effect->flags & effFlagsProgramChunks);
  EXPECT_EQ(effect->getParameter(effect, 1), 0.30151135f);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST(Module, SurvivesHostileHostCalls) {
  LoadedModule module;
  ASSERT_NE(module.handle, nullptr) << dlerror();
  AEffect* effect = module.EntryNamed("VSTPluginMain")(nullptr);  // a host without a callback
  ASSERT_NE(effect, nullptr);
  for (VstInt32 op = -2; op < 80; ++op) {
    if (op == effClose || op == effEditOpen) continue;
    effect->dispatcher(effect, op, 0, 0, nullptr, 0.0f);
    // For speaker arrangements `value` is a pointer; elsewhere -1 is a hostile number.
    effect->dispatcher(effect, op, -1, op == effSetSpeakerArrangement ? 0 : -1, nullptr, -1.0f);
  }
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

// The Windows builds export the same two undecorated names.
void ExpectWindowsExports(const std::string& objdump, const std::string& buildDir, const char* preset) {
  if (buildDir.empty()) GTEST_SKIP() << "this build was configured without the " << preset << " build folder";
  const std::string dll = buildDir + "/Kelvane.dll";
  std::FILE* f = std::fopen(dll.c_str(), "rb");
  if (!f) GTEST_SKIP() << "no Windows build at " << dll << " (build the " << preset << " preset)";
  std::fclose(f);
  std::string command = objdump + " -p '" + dll + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) out += line;
  pclose(pipe);
  auto table = out.find("[Ordinal/Name Pointer] Table");
  ASSERT_NE(table, std::string::npos) << out;
  std::string exports = out.substr(table, 200);
  EXPECT_NE(exports.find("] VSTPluginMain\n"), std::string::npos) << exports;
  EXPECT_NE(exports.find("] main\n"), std::string::npos) << exports;
  EXPECT_EQ(exports.find("_VSTPluginMain"), std::string::npos) << exports;
  EXPECT_EQ(exports.find("@"), std::string::npos) << exports;
  // Only system libraries are imported.
  for (const char* foreign : {"libstdc++", "libgcc", "libwinpthread"}) {
    EXPECT_EQ(out.find(foreign), std::string::npos) << foreign;
  }
}

TEST(Module, Windows32ExportTable) {
  ExpectWindowsExports("i686-w64-mingw32-objdump", KELVANE_WIN32_DIR, "win32");
}

TEST(Module, Windows64ExportTable) {
  ExpectWindowsExports("x86_64-w64-mingw32-objdump", KELVANE_WIN64_DIR, "win64");
}

}  // namespace
