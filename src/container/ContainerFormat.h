// The packed container's byte layout, shared by the reader and the writer: the ".dne"
// trailer, entry-name encoding, the cipher key and the directory keys.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Stream.h"

namespace dax::container {

inline constexpr char kContainerKey[] = "7E31C0A94B2D58F6A0C3B19E4D7285F0";
inline constexpr char kTrailerMagic[] = ".dne";
inline constexpr char kProtectionSection[] = "$protection$";
inline constexpr char kKeyPosition[] = "_ps";
inline constexpr char kKeySize[] = "_sz";
inline constexpr char kKeyMethod[] = "_pm";
inline constexpr char kKeyStrucPos[] = "strucpos";
inline constexpr char kKeyAllowModify[] = "allowmodify";
inline constexpr char kKeyDaxVersion[] = "daxversion";
// The show document inside a packed show.
inline constexpr char kDocumentEntry[] = "Project.dax";
// The directory is an INI document; nothing that large is a real directory.
inline constexpr int64_t kMaxDirectorySize = int64_t{128} << 20;

enum class TPackMethod : int { Stored = 0, Deflate = 1, Xor = 2 };

const char* PackMethodName(TPackMethod method);  // "stored", "deflate", "xor"
std::optional<TPackMethod> ParsePackMethod(std::string_view name);

// "[" -> "<", "]" -> ">", bytes below 32 -> "#" + two upper-case hex digits.
std::string EncodeEntryName(std::string_view name);
// The reverse, for listing: "#XX" is decoded only for codes below 32.
std::string DecodeEntryName(std::string_view sectionName);

struct TContainerTrailer {
  int64_t base = 0;          // positions in the container count from here
  int64_t end = 0;           // just after ".dne"
  int64_t directoryPos = 0;  // absolute
  bool appended = false;     // followed by the 8-byte length
};

enum class TTrailerStatus { Ok, NotContainer, Damaged };

// Locates end, base and the directory; every value read is range-checked.
TTrailerStatus ReadTrailer(TStream& file, TContainerTrailer& trailer);

// Writes a container at the end of `out`. Entry positions are absolute in `out`; with
// `appended` the trailer carries the length field (base 0, as for a player written in one
// piece with its show).
class TContainerWriter {
 public:
  TContainerWriter(TStream& out, bool appended);

  // std::invalid_argument for an empty, blank-edged, reserved or repeated name, one that is
  // not UTF-8, or one whose encoded form decodes to another name.
  void AddEntry(const std::string& name, TStream& data, TPackMethod method);
  void Finish(bool allowModify, const std::string& version);
  // zlib level for deflated entries (default: zlib's default).
  void SetDeflateLevel(int level) { deflateLevel_ = level; }

  // Why a name cannot be an entry name, or empty when it can.
  static std::string NameProblem(const std::string& name);

 private:
  struct TEntry {
    std::string name;
    int64_t position;
    int64_t size;
    TPackMethod method;
  };
  TStream& out_;
  bool appended_;
  bool finished_ = false;
  int deflateLevel_ = -1;
  std::vector<TEntry> entries_;
  std::set<std::string> folded_;
};

}  // namespace dax::container
