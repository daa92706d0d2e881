#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "ContainerFixture.h"
#include "container/InflateStream.h"
#include "container/MappedFileSource.h"
#include "container/PathModifiers.h"
#include "container/ShowLocator.h"
#include "container/ShowPacker.h"
#include "container/ShowPath.h"
#include "support/TempDir.h"

namespace dax::container {
namespace {
using namespace dax::container::test;
using dax::test::ReadFileBytes;
using dax::test::TTempDir;
using dax::test::WriteFileBytes;

void MakeFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteFileBytes(path, bytes);
}

const char kDocument[] =
    "[Main]\r\nDaxVersion=6.2\r\nColorManagement=sRGB\r\nopt_exefn=\r\n"
    "[Slide1]\r\nPicture=pics\\Photo.jpg\r\nSound=music\\song.mp3|track\r\n"
    "Other=not a file\r\n"
    "[FileMap]\r\n;\"Alias.jpg\"=\"pics\\Photo.jpg\"\r\n";

// A project folder on disk: the document and its media.
void MakeProject(const TTempDir& dir) {
  MakeFile(dir.File("Project.dax"), kDocument);
  MakeFile(dir.File("pics/Photo.jpg"), SampleBytes(70000, 11));
  MakeFile(dir.File("music/song.mp3"), SampleBytes(5000, 12));
  MakeFile(dir.File("unused/left.txt"), "left");
}

TEST(ShowPackerTest, PackListCatGiveIdenticalBytesForEveryMethod) {
  TTempDir dir;
  MakeProject(dir);
  std::string error;
  auto fromFile = CollectPackInput(dir.File("Project.dax"), error);
  ASSERT_TRUE(fromFile) << error;
  // A project file packs what its document names (the FileMap target included).
  std::vector<std::string> names;
  for (auto& [name, path] : fromFile->files) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"pics\\Photo.jpg", "music\\song.mp3"}));
  auto fromFolder = CollectPackInput(dir.Path(), error);
  ASSERT_TRUE(fromFolder) << error;
  EXPECT_EQ(fromFolder->files.size(), 3u);  // everything below the folder

  for (TPackMethod method : {TPackMethod::Stored, TPackMethod::Deflate, TPackMethod::Xor}) {
    SCOPED_TRACE(PackMethodName(method));
    TTempDir out;
    std::string show = out.File("show.dxshow");
    TPackOptions options;
    options.method = method;
    ASSERT_EQ(WritePackedShow(*fromFolder, options, show), "");
    TDaxUnpack unpack(show);
    ASSERT_TRUE(unpack.Usable()) << unpack.ErrorText();
    EXPECT_EQ(unpack.Version(), "6.2");
    auto entries = unpack.Entries();
    ASSERT_EQ(entries.size(), 4u);
    for (const TEntryInfo& e : entries) {
      SCOPED_TRACE(e.name);
      EXPECT_TRUE(e.valid);
      EXPECT_EQ(e.method, method);
      std::string disk =
          e.name == "Project.dax" ? dir.File("Project.dax") : dir.File(ShowNameToPath(e.name));
      auto s = unpack.OpenEntry(e.name);
      ASSERT_TRUE(s);
      EXPECT_EQ(ReadAll(*s), ReadFileBytes(disk));
    }
  }
}

TEST(ShowPackerTest, EntriesPastTheInflateCapAreStored) {
  constexpr int64_t kCap = 4096;
  TTempDir dir, out;
  MakeFile(dir.File("Project.dax"), "[Main]\r\n");
  const std::string big = SampleBytes(kCap + 1, 3), fits = SampleBytes(kCap, 4);
  MakeFile(dir.File("big.bin"), big);
  MakeFile(dir.File("fits.bin"), fits);
  const int64_t saved = InflatedEntryLimit();
  SetInflatedEntryLimit(kCap);
  std::string error;
  auto input = CollectPackInput(dir.Path(), error);
  ASSERT_TRUE(input) << error;
  TPackOptions options;
  options.method = TPackMethod::Deflate;
  std::vector<std::string> notes;
  std::string written = WritePackedShow(*input, options, out.File("s.dxshow"), &notes);
  EXPECT_EQ(notes, std::vector<std::string>{"stored, too large to deflate: big.bin"});
  EXPECT_EQ(EntryPackMethod(TPackMethod::Xor, kCap * 2), TPackMethod::Xor);
  // Read back under the same cap, as the player would.
  TDaxUnpack unpack(out.File("s.dxshow"));
  std::optional<TEntryInfo> bigInfo = unpack.FindEntry("big.bin");
  std::optional<TEntryInfo> fitsInfo = unpack.FindEntry("fits.bin");
  auto bigStream = unpack.OpenEntry("big.bin");
  auto fitsStream = unpack.OpenEntry("fits.bin");
  SetInflatedEntryLimit(saved);
  ASSERT_EQ(written, "");
  ASSERT_TRUE(bigInfo && fitsInfo);
  EXPECT_EQ(bigInfo->method, TPackMethod::Stored);
  EXPECT_EQ(fitsInfo->method, TPackMethod::Deflate);
  ASSERT_TRUE(bigStream && fitsStream);
  EXPECT_EQ(ReadAll(*bigStream), big);
  EXPECT_EQ(ReadAll(*fitsStream), fits);
}

TEST(ShowPackerTest, NamesThatReadBackDifferentlyAreSkippedWithAWarning) {
  TTempDir dir;
  MakeFile(dir.File("Project.dax"),
           "[Main]\r\n[Slide1]\r\nPicture=pics\\a<b.txt\r\nOther=pics\\ok#41.txt\r\n");
  MakeFile(dir.File("pics/a<b.txt"), "1");
  MakeFile(dir.File("pics/c#0Ad.txt"), "2");
  MakeFile(dir.File("pics/ok#41.txt"), "3");  // "#41" is no encoded character
  for (bool fromFolder : {true, false}) {
    SCOPED_TRACE(fromFolder);
    std::string error;
    auto input = CollectPackInput(fromFolder ? dir.Path() : dir.File("Project.dax"), error);
    ASSERT_TRUE(input) << error;
    std::vector<std::string> names;
    for (auto& [name, path] : input->files) names.push_back(name);
    EXPECT_EQ(names, std::vector<std::string>{"pics\\ok#41.txt"});
    std::string warnings;
    for (const std::string& w : input->warnings) warnings += w + "\n";
    EXPECT_NE(warnings.find("pics\\a<b.txt"), std::string::npos) << warnings;
    if (fromFolder) {
      EXPECT_NE(warnings.find("pics\\c#0Ad.txt"), std::string::npos) << warnings;
    }
  }
}

TEST(ShowPackerTest, ExtractMakesNamesSafe) {
  struct Case {
    std::string name, path;
  } cases[] = {
      {"pics\\a.jpg", "pics/a.jpg"},
      {"/etc/passwd", "etc/passwd"},
      {"..\\..\\up.txt", "up.txt"},
      {"a/../../b.txt", "a/b.txt"},
      {"C:\\Windows\\x.dll", "Windows/x.dll"},
      {"C:rel.txt", "rel.txt"},
      {"tab\tname", "tab_name"},
      {"..", ""},
      {"\\\\", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SafeExtractPath(c.name), c.path);
  }

  TTempDir dir, outside;
  WriteFileBytes(dir.File("s.dxshow"),
                 WriteContainer({{"..\\..\\escape.txt", "E"},
                                 {"link\\through.txt", "T"},
                                 {"ok\\fine.txt", "F", TPackMethod::Deflate}}));
  std::string target = dir.File("out");
  std::filesystem::create_directories(target);
  // A link planted inside the target folder must not be followed.
  std::filesystem::create_directory_symlink(outside.Path(), target + "/link");
  TDaxUnpack unpack(dir.File("s.dxshow"));
  std::vector<std::string> problems;
  EXPECT_EQ(ExtractShow(unpack, target, problems), 2);
  EXPECT_EQ(problems.size(), 1u);
  EXPECT_EQ(ReadFileBytes(target + "/escape.txt"), "E");
  EXPECT_EQ(ReadFileBytes(target + "/ok/fine.txt"), "F");
  EXPECT_FALSE(std::filesystem::exists(outside.File("through.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("escape.txt")));
}

TEST(ShowLocatorTest, OpensAPackedShowAndItsFilesByName) {
  TTempDir dir, out;
  MakeProject(dir);
  std::string error;
  auto input = CollectPackInput(dir.Path(), error);
  ASSERT_TRUE(input);
  ASSERT_EQ(WritePackedShow(*input, {}, out.File("show.dxshow")), "");

  std::string seenColour;
  SetColorSetupHook([&](TDaxShowLocator&, const std::string& value) { seenColour = value; });
  TOpenShowResult result = OpenPackedShow(out.File("show.dxshow"));
  SetColorSetupHook({});
  ASSERT_TRUE(result.locator) << result.errorText;
  TDaxShowLocator& locator = *result.locator;
  EXPECT_TRUE(locator.Packed());
  EXPECT_EQ(locator.Version(), "6.2");
  EXPECT_EQ(locator.DocumentEntry(), "Project.dax");
  ASSERT_NE(locator.Document(), nullptr);
  EXPECT_EQ(locator.Document()->ReadString("Slide1", "Picture", ""), "pics\\Photo.jpg");
  EXPECT_EQ(seenColour, "sRGB");
  EXPECT_EQ(locator.Accessor().BaseFolder(), out.Path() + "/");
  auto photo = locator.Accessor().OpenStream("PICS\\photo.JPG");
  ASSERT_TRUE(photo);
  EXPECT_EQ(ReadAll(*photo), ReadFileBytes(dir.File("pics/Photo.jpg")));
  auto alias = locator.Accessor().OpenStream("alias.jpg");  // through the FileMap
  ASSERT_TRUE(alias);
  EXPECT_EQ(alias->Size(), 70000);
  std::string version;
  EXPECT_TRUE(ReadContainerVersion(out.File("show.dxshow"), version));
  EXPECT_EQ(version, "6.2");
}

TEST(ShowLocatorTest, TheParsedShowComesFromTheRegisteredFactoryOnce) {
  TTempDir dir;
  WriteFileBytes(dir.File("s.dxshow"), WriteContainer({{"Project.dax", "[Main]\r\n"}}));
  int made = 0;
  SetShowSourceFactory([&](TDaxShowLocator& locator) -> TRef<TRefObject> {
    ++made;
    EXPECT_NE(locator.Document(), nullptr);
    return MakeRef<TRefObject>();
  });
  auto result = OpenPackedShow(dir.File("s.dxshow"));
  ASSERT_TRUE(result.locator);
  TRef<TRefObject> a = result.locator->Source();
  TRef<TRefObject> b = result.locator->Source();
  SetShowSourceFactory({});
  EXPECT_TRUE(a);
  EXPECT_EQ(a, b);
  EXPECT_EQ(made, 1);
}

TEST(ShowLocatorTest, ErrorTexts) {
  TTempDir dir;
  WriteFileBytes(dir.File("nodoc.dxshow"), WriteContainer({{"other.txt", "x"}}));
  WriteFileBytes(dir.File("plain.txt"), "no container here");
  std::string damaged = WriteContainer({{"Project.dax", "[Main]\r\n"}});
  damaged[damaged.size() - 10] ^= 0x40;  // the directory position
  WriteFileBytes(dir.File("damaged.dxshow"), damaged);
  struct Case {
    std::string file, error;
  } cases[] = {
      {dir.File("missing.dxshow"), "Slideshow File not Found"},
      {dir.File("nodoc.dxshow"), "Executable SlideShow Open Error"},
      {dir.File("plain.txt"), ""},
      {dir.File("damaged.dxshow"), "Slide-show File Damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TOpenShowResult result = OpenPackedShow(c.file);
    EXPECT_FALSE(result.locator);
    EXPECT_EQ(result.errorText, c.error);
  }
  std::string version;
  EXPECT_FALSE(ReadContainerVersion(dir.File("plain.txt"), version));
}

TEST(ShowLocatorTest, AContainerAppendedToACopiedExecutableIsFound) {
  TTempDir dir, out;
  MakeProject(dir);
  std::string error;
  auto input = CollectPackInput(dir.Path(), error);
  ASSERT_TRUE(input);
  TPackOptions options;
  options.appendTo = "/proc/self/exe";  // this test program stands in for the player
  options.method = TPackMethod::Xor;
  std::string selfPlaying = out.File("selfplaying");
  ASSERT_EQ(WritePackedShow(*input, options, selfPlaying), "");
  struct stat st;
  ASSERT_EQ(::stat(selfPlaying.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  // The executable part is an unchanged copy.
  std::string exe = ReadFileBytes("/proc/self/exe");
  EXPECT_EQ(ReadFileBytes(selfPlaying).substr(0, exe.size()), exe);

  TOpenShowResult result = OpenPackedShow(selfPlaying);
  ASSERT_TRUE(result.locator) << result.errorText;
  auto song = result.locator->Accessor().OpenStream("music\\song.mp3");
  ASSERT_TRUE(song);
  EXPECT_EQ(ReadAll(*song), ReadFileBytes(dir.File("music/song.mp3")));
}

TEST(ShowLocatorTest, ProjectFileOnDisk) {
  TTempDir dir, cwdMoved;
  MakeProject(dir);
  MakeFile(dir.File("Styles/bar.ini"), "BAR");
  std::string document = std::string(kDocument) +
                         "[PathModifiers]\r\nCount=2000000000\r\nEnv0=%mystyles%\r\n"
                         "Path0=" +
                         dir.Path() + "/Styles\r\nDef0=0\r\n";
  WriteFileBytes(dir.File("Project.dax"), document);
  auto locator = OpenProjectFile(dir.File("Project.dax"));
  ASSERT_TRUE(locator);
  EXPECT_FALSE(locator->Packed());
  EXPECT_EQ(locator->Version(), "6.2");
  // An empty opt_exefn takes the project's folder, not the file-system root.
  EXPECT_EQ(locator->Accessor().BaseFolder(), dir.Path() + "/");
  auto photo = locator->Accessor().OpenStream("pics\\photo.jpg");
  ASSERT_TRUE(photo);
  auto alias = locator->Accessor().OpenStream("ALIAS.JPG");
  ASSERT_TRUE(alias);
  auto bar = locator->Accessor().OpenStream("%MyStyles%\\bar.ini");
  ASSERT_TRUE(bar);
  EXPECT_EQ(ReadAll(*bar), "BAR");
  InstallPathModifiers({});

  EXPECT_FALSE(OpenProjectFile(dir.File("missing.dax")));

  // The executable name the project will have maps to the project file.
  SetReplacePair({dir.File("Future.exe"), dir.File("Project.dax")});
  TOpenShowResult replaced = OpenPackedShow(dir.File("FUTURE.EXE"));
  SetReplacePair({});
  ASSERT_TRUE(replaced.locator);
  EXPECT_FALSE(replaced.locator->Packed());

  WriteFileBytes(dir.File("Exe.dax"), "[Main]\r\nopt_exefn=build\\out\\Show.exe\r\n");
  auto withExe = OpenProjectFile(dir.File("Exe.dax"));
  ASSERT_TRUE(withExe);
  EXPECT_EQ(withExe->Accessor().BaseFolder(), dir.Path() + "/build/out/");
}

std::vector<std::string> ModifierNames() {
  std::vector<std::string> names;
  TPathModifiersList active = ActivePathModifiers();
  for (const TPathModifierItem& item : active.Items()) names.push_back(item.name);
  return names;
}

TEST(ShowLocatorTest, AProjectsModifiersDoNotOutliveIt) {
  TTempDir dir;
  MakeFile(dir.File("Styles/bar.ini"), "BAR");
  WriteFileBytes(dir.File("A.dax"),
                 "[Main]\r\n[PathModifiers]\r\nCount=1\r\nEnv0=%mystyles%\r\n"
                 "Path0=" +
                     dir.Path() + "/Styles\r\n");
  WriteFileBytes(dir.File("B.dax"), "[Main]\r\n");
  WriteFileBytes(dir.File("C.dxshow"), WriteContainer({{"Project.dax", "[Main]\r\n"}}));
  const std::vector<std::string> defaults = {"%styles%", "%styles%", "%effects%", "%effects%"};
  InstallPathModifiers({});
  // The show opened after A: a project without the section, then a packed show.
  for (bool packedNext : {false, true}) {
    SCOPED_TRACE(packedNext);
    ASSERT_TRUE(OpenProjectFile(dir.File("A.dax")));
    EXPECT_EQ(ModifierNames(), std::vector<std::string>{"%mystyles%"});
    EXPECT_EQ(ApplyPathModifiers("%mystyles%\\bar.ini"), dir.Path() + "/Styles/bar.ini");
    if (packedNext) {
      ASSERT_TRUE(OpenPackedShow(dir.File("C.dxshow")).locator);
    } else {
      ASSERT_TRUE(OpenProjectFile(dir.File("B.dax")));
    }
    EXPECT_EQ(ModifierNames(), defaults);
    EXPECT_EQ(ApplyPathModifiers("%mystyles%\\bar.ini"), "%mystyles%\\bar.ini");
  }
  InstallPathModifiers({});
}

}  // namespace
}  // namespace dax::container
