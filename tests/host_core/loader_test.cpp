// Module loading: the mount block, entry list and entry vector as the loader
// reads them, and an error that names each defect.
#include <elf.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "vxrhost/host.h"
#include "vxrhost/scripted_store.h"

namespace {

std::string fixture(const std::string& name) {
  return FIXTURE_DIR "/" + name + ".so";
}

// The failure as one line; every defect is a kModuleDefect but a missing file.
std::string loadError(vxrhost::Host& host, const std::string& name) {
  vxrhost::Error error;
  EXPECT_EQ(host.load(fixture(name), &error), nullptr) << name;
  EXPECT_EQ(error.status, name == "NOSUCHL" ? vxrhost::hoststatus::kModuleMissing
                                            : vxrhost::hoststatus::kModuleDefect)
      << name;
  EXPECT_EQ(error.message, "cannot load module \"" + name + "\"");
  return error.text();
}

TEST(Loader, WellFormedModuleExposesItsVector) {
  vxrhost::Host host;
  vxrhost::Module* mod = host.load(fixture("FXGOODL"));
  ASSERT_NE(mod, nullptr);
  EXPECT_EQ(mod->name(), "FXGOODL");
  const CNT1_MountBlock& mount = mod->mountBlock();
  EXPECT_STREQ(mount.name, "FXGOODL");
  EXPECT_EQ(mount.count, 1);
  EXPECT_EQ(mount.entryList, &mod->entry());
  EXPECT_STREQ(mod->entry().name, "FXGOODL");
  const PRB1_Vector& v = mod->vector();
  EXPECT_EQ(v.head[0], 23);
  EXPECT_EQ(v.head[1], 130);
  EXPECT_EQ(reinterpret_cast<void*>(mod->start()), v.slot[0].entry);
  EXPECT_EQ(reinterpret_cast<void*>(mod->process()), v.slot[1].entry);
  EXPECT_EQ(reinterpret_cast<void*>(mod->terminate()), v.slot[2].entry);
  EXPECT_EQ(reinterpret_cast<void*>(mod->compileDateEntry()), v.slot[3].entry);
  // Raw bytes: the vector's slots 5 to 7 and its last word are zero.
  const auto* bytes = reinterpret_cast<const unsigned char*>(&v);
  for (size_t i = offsetof(PRB1_Vector, slot) + 4 * sizeof(PRB1_Slot); i < sizeof v; ++i) {
    EXPECT_EQ(bytes[i], 0) << "byte " << i;
  }
}

TEST(Loader, CompileDateHandsOutTheModulesStrings) {
  vxrhost::Host host;
  vxrhost::Module* mod = host.load(fixture("FXGOODL"));
  vxrhost::CompileDate first = mod->compileDate();
  vxrhost::CompileDate second = mod->compileDate();
  EXPECT_TRUE(first.returnedFirstArgument);
  EXPECT_STREQ(first.version, "V130");
  EXPECT_STREQ(first.date, "Jan 02 2024");
  EXPECT_STREQ(first.time, "12:34:56");
  EXPECT_EQ(first.date, second.date);  // the same strings, not copies
  EXPECT_EQ(first.time, second.time);
}

TEST(Loader, BuildInformationOnlyAfterTheOwnUnitTraced) {
  vxrhost::ScriptedStore store;
  store.route("").charColumn("NAME", 8).intColumn("VALUE");
  vxrhost::Host host(store);
  vxrhost::Module* mod = host.load(fixture("FXGOODL"));
  EXPECT_FALSE(mod->buildInfo().has_value());
  host.run(*mod, "FIXTURE", {}, 12);
  auto info = mod->buildInfo();
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->unit, "FXGOODL");
  EXPECT_EQ(info->infoCount, 18);
  EXPECT_EQ(info->commentCount, 8);
  ASSERT_EQ(info->info.size(), 18u);
  EXPECT_EQ(info->info[0], "Jan 02 2024");
  EXPECT_EQ(info->info[15], "vxr");
  ASSERT_EQ(info->comments.size(), 8u);
  EXPECT_EQ(info->comments[7], "");
  auto units = mod->units();
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].marker, 400);
  EXPECT_EQ(units[0].kind, 0x8000);
  EXPECT_EQ(units[0].level, "level200");
}

TEST(Loader, EachDefectIsNamed) {
  vxrhost::Host host;
  auto expect = [&](const std::string& name, const std::string& detail) {
    EXPECT_EQ(loadError(host, name),
              "cannot load module " + vxrhost::inQuotes(name) + ": " + detail);
  };
  expect("NOSUCHL", vxrhost::inQuotes(fixture("NOSUCHL")) + ": No such file or directory");
  expect("FXNOENTL", vxrhost::inQuotes(fixture("FXNOENTL")) + " has no entry cnt1entd");
  expect("FXNOMNTL", "it did not mount its contents: cnt1entd never called kglcnmnt");
  expect("FXENAMEL", "entry list: entry name \"FXENAMEL\" is blank-filled, not zero-filled");
  expect("FXSLOT5L", "entry vector: slot 5 is not empty");
  expect("FXHEADL", "entry vector: header words are 23 and 131, not 23 and 130");
  expect("FXTHREEL",
         "entry vector: slot 4 (compile date entry) is empty; the vector must hold 4 entries");
  expect("FXMISMAL", "mount block: name \"FXOTHERL\" does not match \"FXMISMAL\"");
  // A directory is no module; without an Error the failure is traced.
  vxrhost::Error error;
  EXPECT_EQ(host.load(FIXTURE_DIR, &error), nullptr);
  EXPECT_EQ(error.detail, "\"" FIXTURE_DIR "\" is not a regular file");
  host.clearTrace();
  EXPECT_EQ(host.load(fixture("FXSLOT5L")), nullptr);
  EXPECT_TRUE(host.traceContains("HOST load cannot load module \"FXSLOT5L\": entry vector"));
}

TEST(Loader, KglcnmntOutsideALoadIsRefused) {
  CNT1_MountBlock mount{};
  EXPECT_EQ(kglcnmnt(&mount, 0), vxrhost::hoststatus::kNotMounting);
  kglcnt1h();  // exists, does nothing
}

TEST(Loader, UnloadAndReload) {
  vxrhost::Host host;
  vxrhost::Module* mod = host.load(fixture("FXGOODL"));
  host.unload(mod);
  mod = host.load(fixture("FXGOODL"));
  EXPECT_EQ(mod->name(), "FXGOODL");
}

// A shared object cut short would fault inside dlopen when a segment's
// missing bytes are touched; the loader checks the ELF header, the program
// headers and every loadable segment against the file's size first, for
// both classes and byte orders. Each image here has one PT_LOAD segment
// covering its 4096 bytes; whole, it passes the check and dlopen refuses it
// (no machine); cut anywhere, it is "file is truncated".
TEST(Loader, TruncatedElfFilesAreRefusedBeforeDlopen) {
  for (bool wide : {false, true}) {
    for (bool big : {false, true}) {
      SCOPED_TRACE(std::string(wide ? "64" : "32") + (big ? "-bit big-endian" : "-bit little"));
      std::string image(4096, '\0');
      auto put = [&](size_t at, uint64_t value, size_t size) {
        for (size_t i = 0; i < size; ++i)
          image[at + (big ? size - 1 - i : i)] = static_cast<char>(value >> (8 * i));
      };
      const size_t header = wide ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr);
      const size_t entry = wide ? sizeof(Elf64_Phdr) : sizeof(Elf32_Phdr);
      const size_t word = wide ? 8 : 4;
      image.replace(0, SELFMAG, ELFMAG);
      image[EI_CLASS] = wide ? ELFCLASS64 : ELFCLASS32;
      image[EI_DATA] = big ? ELFDATA2MSB : ELFDATA2LSB;
      image[EI_VERSION] = EV_CURRENT;
      put(offsetof(Elf32_Ehdr, e_type), ET_DYN, 2);
      put(offsetof(Elf32_Ehdr, e_version), EV_CURRENT, 4);
      put(wide ? offsetof(Elf64_Ehdr, e_phoff) : offsetof(Elf32_Ehdr, e_phoff), header, word);
      put(wide ? offsetof(Elf64_Ehdr, e_phentsize) : offsetof(Elf32_Ehdr, e_phentsize), entry, 2);
      put(wide ? offsetof(Elf64_Ehdr, e_phnum) : offsetof(Elf32_Ehdr, e_phnum), 1, 2);
      put(header, PT_LOAD, 4);
      put(header + (wide ? offsetof(Elf64_Phdr, p_filesz) : offsetof(Elf32_Phdr, p_filesz)),
          image.size(), word);
      const std::string path = ::testing::TempDir() + "FXELFL.so";
      vxrhost::Host host;
      for (size_t size : {image.size(), image.size() - 1, header + entry - 1, header - 1,
                          size_t{EI_NIDENT - 1}}) {
        SCOPED_TRACE(size);
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(image.data(), static_cast<long>(size));
        vxrhost::Error error;
        EXPECT_EQ(host.load(path, &error), nullptr);
        EXPECT_EQ(error.detail.find("file is truncated") != std::string::npos, size != image.size())
            << error.text();
      }
      std::remove(path.c_str());
    }
  }
}

}  // namespace
