#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "ContainerFixture.h"
#include "container/FileAccessor.h"
#include "container/ImageCache.h"
#include "container/MappedFileSource.h"
#include "container/PathModifiers.h"
#include "container/ShowPath.h"
#include "support/TempDir.h"

namespace dax::container {
namespace {
using namespace dax::container::test;
using dax::test::TTempDir;
using dax::test::WriteFileBytes;

void MakeFile(const std::string& path, const std::string& bytes = "x") {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  WriteFileBytes(path, bytes);
}

TEST(ShowPathTest, BackslashesAndLetterCase) {
  TTempDir dir;
  MakeFile(dir.File("Media/Pics/Photo.JPG"), "p");
  struct Case {
    std::string name;
    bool found;
  } cases[] = {
      {dir.Path() + "\\Media\\Pics\\Photo.JPG", true},
      {dir.Path() + "\\media\\PICS\\photo.jpg", true},
      {dir.Path() + "/MEDIA/pics/PHOTO.jpg", true},
      {dir.Path() + "\\media\\pics\\missing.jpg", false},
      {dir.Path() + "\\media\\pics\\..\\PICS\\photo.jpg", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<std::string> path = ResolveShowFile(c.name);
    EXPECT_EQ(path.has_value(), c.found);
    if (path) {
      EXPECT_EQ(dax::test::ReadFileBytes(*path), "p");
    }
  }
  EXPECT_FALSE(ResolveShowFile(dir.Path() + "\\media"));  // a folder is no file
}

class PathModifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(program_.Path());
    savedXdgData_ = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", user_.Path().c_str(), 1);
    InstallDefaultPathModifiers();
  }
  void TearDown() override {
    if (savedXdgData_.empty()) {
      unsetenv("XDG_DATA_HOME");
    } else {
      setenv("XDG_DATA_HOME", savedXdgData_.c_str(), 1);
    }
    SetProgramFolder("");
    InstallPathModifiers({});
  }
  TTempDir program_, user_;
  std::string savedXdgData_;
};

TEST_F(PathModifierTest, StylesPreferTheProgramsThemesThenTheUsersFolder) {
  MakeFile(program_.File("All/Themes/blue/bar.ini"));
  EXPECT_EQ(ApplyPathModifiers("%styles%\\blue\\bar.ini"),
            program_.Path() + "/All/Themes/blue\\bar.ini");
  EXPECT_EQ(ApplyPathModifiers("%STYLES%\\blue\\bar.ini"),
            program_.Path() + "/All/Themes/blue\\bar.ini");
  // Missing everywhere: the default item (the user's folder) is taken anyway.
  EXPECT_EQ(ApplyPathModifiers("%styles%\\red\\bar.ini"),
            user_.Path() + "/Korvex/Styles/red\\bar.ini");
  EXPECT_EQ(ApplyPathModifiers("%effects%\\x.fx"), user_.Path() + "/Korvex/Effects/x.fx");
  EXPECT_EQ(ApplyPathModifiers("%unknown%\\x"), "%unknown%\\x");
  EXPECT_EQ(ApplyPathModifiers("plain\\name.jpg"), "plain\\name.jpg");
  // The part before "|" decides whether the candidate exists.
  EXPECT_EQ(ApplyPathModifiers("%styles%\\blue\\bar.ini|item"),
            program_.Path() + "/All/Themes/blue\\bar.ini|item");
}

TEST_F(PathModifierTest, FolderMacros) {
  const std::string temp = SystemTempFolder();
  struct Case {
    std::string in, out;
  } cases[] = {
      {"%TEMP%\\x", temp + "x"},
      {"%TEMP%x", temp + "x"},
      {"%temp%\\x", temp + "x"},
      {"%LOCALAPPDATA%\\Korvex", user_.Path() + "/Korvex"},
      {"%NOTAMACROATALL%\\x", "%NOTAMACROATALL%\\x"},  // longer than 14 characters
      {"a\\%TEMP%\\x", "a\\%TEMP%\\x"},                // not leading
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(ExpandFolderMacros(c.in, true), c.out);
  }
  EXPECT_EQ(ExpandFolderMacros("a\\%TEMP%\\x", false), "a\\" + temp + "x");
  SetProgramFolder("/opt/daxviewer/bin");
  TPathModifiersList list;
  AddPathModifier(list, "%Mine%", "..\\Shared\\Styles\\", false);
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.Items()[0].name, "%mine%");
  EXPECT_EQ(list.Items()[0].folder, "/opt/daxviewer/Shared/Styles/");
}

// Sets or unsets one environment variable for a scope.
class TEnvOverride {
 public:
  TEnvOverride(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~TEnvOverride() {
    if (saved_) {
      setenv(name_, saved_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST_F(PathModifierTest, FolderMacrosFollowTheXdgVariables) {
  TEnvOverride home("HOME", "/home/tester");
  struct Case {
    const char* what;
    const char* xdgConfig;  // null: unset
    const char* xdgData;
    const char* tmpDir;
    std::string in, out;
  } cases[] = {
      {"config set", "/cfg/home", nullptr, nullptr, "%APPDATA%\\a.ini", "/cfg/home/a.ini"},
      {"config unset", nullptr, nullptr, nullptr, "%appdata%\\a.ini", "/home/tester/.config/a.ini"},
      {"config relative", "rel/cfg", nullptr, nullptr, "%APPDATA%\\a.ini",
       "/home/tester/.config/a.ini"},
      {"data unset", nullptr, nullptr, nullptr, "%LOCALAPPDATA%\\Korvex",
       "/home/tester/.local/share/Korvex"},
      {"data relative", nullptr, "share", nullptr, "%LOCALAPPDATA%\\Korvex",
       "/home/tester/.local/share/Korvex"},
      {"temp unset", nullptr, nullptr, nullptr, "%TEMP%\\x", "/tmp/x"},
      {"temp relative", nullptr, nullptr, "tmp", "%TEMP%\\x", "/tmp/x"},
      {"temp missing", nullptr, nullptr, "/nonexistent/tmp", "%TEMP%\\x", "/tmp/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TEnvOverride config("XDG_CONFIG_HOME", c.xdgConfig);
    TEnvOverride data("XDG_DATA_HOME", c.xdgData);
    TEnvOverride tmp("TMPDIR", c.tmpDir);
    EXPECT_EQ(ExpandFolderMacros(c.in, true), c.out);
  }
}

class ImageCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearImageDecoders();
    RegisterImageDecoder(&DecodeTextImage);
    gDecodes = 0;
  }
  void TearDown() override { ClearImageDecoders(); }
};

TEST_F(ImageCacheTest, OneDecodePerNameAndSource) {
  TTempDir dir;
  MakeFile(dir.File("a.img"), "IMG:alpha");
  size_t before = LiveImageHandles();
  {
    auto first = MakeRef<TFileAccessor>(MakeRef<TRealFileSource>(dir.Path()));
    auto copy = first->Copy();  // same source
    auto other = MakeRef<TFileAccessor>(MakeRef<TRealFileSource>(dir.Path()));
    TDaxImage a = first->OpenImage("a.img");
    TDaxImage b = copy->OpenImage("A.IMG");
    ASSERT_TRUE(a);
    EXPECT_TRUE(a.SharesHandleWith(b));
    EXPECT_EQ(gDecodes.load(), 1);
    ASSERT_NE(a.StoreAs<TTextImage>(), nullptr);
    EXPECT_EQ(a.StoreAs<TTextImage>()->text, "alpha");
    TDaxImage c = other->OpenImage("a.img");
    EXPECT_FALSE(a.SharesHandleWith(c));
    EXPECT_EQ(gDecodes.load(), 2);
    EXPECT_EQ(LiveImageHandles(), before + 2);
  }
  EXPECT_EQ(LiveImageHandles(), before);
}

TEST_F(ImageCacheTest, MissingAndUndecodablePicturesGivePlaceholders) {
  TTempDir dir;
  MakeFile(dir.File("bad.img"), "not a picture");
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TRealFileSource>(dir.Path()));
  TDaxImage missing = accessor->OpenImage("sub\\missing.jpg");
  ASSERT_TRUE(missing);
  EXPECT_TRUE(missing.IsPlaceholder());
  ASSERT_NE(missing.StoreAs<TPlaceholderImage>(), nullptr);
  EXPECT_EQ(missing.StoreAs<TPlaceholderImage>()->Message(), kImageNotFound);
  EXPECT_EQ(missing.StoreAs<TPlaceholderImage>()->FileName(), "missing.jpg");
  TDaxImage bad = accessor->OpenImage("bad.img");
  EXPECT_EQ(bad.StoreAs<TPlaceholderImage>()->Message(), kImageLoadError);

  // The image library's own placeholder maker replaces the built-in one.
  SetPlaceholderMaker([](const std::string& message, const std::string& file) {
    return MakeRef<TTextImage>(message + "|" + file);
  });
  TDaxImage made = accessor->OpenImage("other-missing.png");
  SetPlaceholderMaker({});
  ASSERT_NE(made.StoreAs<TTextImage>(), nullptr);
  EXPECT_EQ(made.StoreAs<TTextImage>()->text, "Image not found|other-missing.png");
}

TEST_F(ImageCacheTest, ProvidersComeBeforeFilesUntilTheirHandleGoes) {
  TTempDir dir;
  MakeFile(dir.File("gen.img"), "IMG:file");
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TRealFileSource>(dir.Path()));
  int owner = 0;
  TRef<TCallbackHandle> handle = accessor->AddImageProvider(
      [](const std::string& name) -> TRef<TRefObject> {
        if (name == "gen.img") return MakeRef<TTextImage>("provided");
        return nullptr;
      },
      &owner);
  EXPECT_EQ(handle->Owner(), &owner);
  {
    TDaxImage image = accessor->OpenImage("gen.img");
    EXPECT_EQ(image.StoreAs<TTextImage>()->text, "provided");
  }
  handle.Reset();
  TDaxImage image = accessor->OpenImage("gen.img");
  EXPECT_EQ(image.StoreAs<TTextImage>()->text, "file");
}

TEST(MappedSourceTest, FileMapAndRotationState) {
  TTempDir dir;
  MakeFile(dir.File("real.jpg"), "REAL");
  MakeFile(dir.File("pack.gfx"), "GFX");
  const std::string text =
      "[FileMap]\r\n"
      "ALIAS.JPG=real.jpg\r\n"
      ";\"quoted = name.jpg\"=\"real.jpg\"\r\n"
      // A key line whose first "=" lies inside the quotes keeps the blanks around it.
      "\"key = blanks.jpg\" = \"real.jpg\"\r\n"
      "loop1=loop2\r\nloop2=loop1\r\n"
      "self=self\r\n"
      "=nothing\r\n"
      "[RotationState]\r\n"
      ";\"Photo1.jpg\"=6\r\n"
      ";\"Photo2.jpg\"=3\r\n"
      ";\"Photo3.jpg\"=5\r\n"
      ";\"\"=8\r\n";
  auto document = MakeRef<ini::TIniFile>();
  document->LoadFromText(text);
  auto source = MakeRef<TMappedFileSource>(dir.Path());
  source->LoadMaps(*document, text);
  auto accessor = MakeRef<TFileAccessor>(source);
  for (const char* name :
       {"alias.jpg", "Alias.JPG", "quoted = name.jpg", "KEY = BLANKS.JPG", "real.jpg"}) {
    SCOPED_TRACE(name);
    auto s = accessor->OpenStream(name);
    ASSERT_TRUE(s);
    EXPECT_EQ(ReadAll(*s), "REAL");
  }
  for (const char* name : {"key=blanks.jpg", "loop1", "self", "missing.jpg"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(accessor->OpenStream(name));
  }
  // A disk name with a sub-item selector opens the file before the "|".
  auto gfx = accessor->OpenStream("pack.gfx|frame3");
  ASSERT_TRUE(gfx);
  EXPECT_EQ(ReadAll(*gfx), "GFX");

  EXPECT_EQ(accessor->Orientation("PHOTO1.JPG"), 6);
  EXPECT_EQ(accessor->Orientation("photo2.jpg"), 3);
  EXPECT_EQ(accessor->Orientation("photo3.jpg"), 1);  // 5 is not a value the show uses
  EXPECT_EQ(accessor->Orientation("other.jpg"), 1);
  EXPECT_EQ(source->RotationCount(), 2u);
  EXPECT_TRUE(OrientationSwapsSize(6));
  EXPECT_FALSE(OrientationSwapsSize(3));
}

TEST(MappedSourceTest, AChainLongerThanTheBoundOpensNothing) {
  TTempDir dir;
  MakeFile(dir.File("end.jpg"), "END");
  // "ok" reaches end.jpg in exactly kMaxFileMapDepth steps, "long" in one more; no cycle.
  std::string text = "[FileMap]\r\n";
  for (const std::string prefix : {"ok", "long"}) {
    int steps = prefix == "ok" ? kMaxFileMapDepth : kMaxFileMapDepth + 1;
    for (int i = 0; i < steps; ++i) {
      std::string target = i + 1 == steps ? "end.jpg" : prefix + std::to_string(i + 1);
      text += prefix + std::to_string(i) + "=" + target + "\r\n";
    }
  }
  auto document = MakeRef<ini::TIniFile>();
  document->LoadFromText(text);
  auto source = MakeRef<TMappedFileSource>(dir.Path());
  source->LoadMaps(*document, text);
  auto accessor = MakeRef<TFileAccessor>(source);
  auto ok = accessor->OpenStream("ok0");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ReadAll(*ok), "END");
  EXPECT_FALSE(accessor->OpenStream("long0"));
  EXPECT_TRUE(accessor->OpenStream("long1"));  // one step shorter
}

TEST(MappedSourceTest, PackedEntriesGoThroughTheMapToo) {
  TTempDir dir;
  WriteFileBytes(dir.File("s.dxshow"), WriteContainer({{"second.jpg", "SECOND", TPackMethod::Xor},
                                                       {"first.jpg", "FIRST"}}));
  auto unpack = std::make_shared<TDaxUnpack>(dir.File("s.dxshow"));
  auto source = MakeRef<TPackedFileSource>(unpack);
  auto document = MakeRef<ini::TIniFile>();
  const std::string text = "[FileMap]\r\nFIRST.JPG=second.jpg\r\n";
  document->LoadFromText(text);
  source->LoadMaps(*document, text);
  auto accessor = MakeRef<TFileAccessor>(source);
  auto s = accessor->OpenStream("first.jpg");
  ASSERT_TRUE(s);
  EXPECT_EQ(ReadAll(*s), "SECOND");
}

TEST(FileAccessorTest, FindFileOrder) {
  TTempDir dir, base;
  MakeFile(dir.File("here.txt"));
  MakeFile(base.File("only-in-base.txt"));
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TRealFileSource>());
  accessor->SetBaseFolder(base.Path() + "\\");
  EXPECT_EQ(accessor->BaseFolder(), base.Path() + "/");
  std::string name = dir.File("HERE.TXT");
  EXPECT_TRUE(accessor->FindFile(name));
  EXPECT_EQ(name, dir.File("here.txt"));
  name = "C:\\Users\\someone\\only-in-base.txt";
  EXPECT_TRUE(accessor->FindFile(name));
  EXPECT_EQ(name, base.File("only-in-base.txt"));
  name = "nowhere.txt";
  EXPECT_FALSE(accessor->FindFile(name));
  EXPECT_EQ(name, "nowhere.txt");
  EXPECT_TRUE(accessor->OpenFile("X:\\only-in-base.txt"));
}

TEST(FileAccessorTest, FallbackAndFilter) {
  TTempDir dir;
  MakeFile(dir.File("a.txt"), "A");
  auto accessor = MakeRef<TFileAccessor>(MakeRef<TRealFileSource>(dir.Path()));
  EXPECT_FALSE(accessor->OpenStream("b.txt"));
  accessor->SetFallbackOpener([](const std::string& name) -> std::unique_ptr<TStream> {
    return std::make_unique<TMemoryStream>("fallback:" + name);
  });
  accessor->SetStreamFilter([](const std::string&, std::unique_ptr<TStream> s) {
    return std::make_unique<TMemoryStream>("filtered:" + ReadAll(*s));
  });
  EXPECT_EQ(ReadAll(*accessor->OpenStream("b.txt")), "fallback:b.txt");
  EXPECT_EQ(ReadAll(*accessor->OpenStream("a.txt")), "filtered:A");
}

}  // namespace
}  // namespace dax::container
