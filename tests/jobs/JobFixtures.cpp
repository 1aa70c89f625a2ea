#include "JobFixtures.h"

namespace salvora::test {

bool HaveFatTools() { return HaveCommand("mkfs.fat") && HaveCommand("mcopy"); }

Floppy MakeFloppy(const TempDir& dir) {
  Floppy floppy;
  floppy.image = dir / "floppy.img";
  std::string at = "MTOOLS_SKIP_CHECK=1 ";
  MustRun("mkfs.fat -C -F 12 " + Quote(floppy.image) + " 1440 >/dev/null");
  MustRun(at + "mmd -i " + Quote(floppy.image) + " ::/Docs");
  floppy.files = {{"letter.txt", std::string(7000, 'l')},
                  {"report.doc", PseudoRandomBytes(3000, 12)},
                  {"gone.bin", PseudoRandomBytes(2600, 13)}};
  std::map<std::string, std::string> all = floppy.files;
  all["notes.txt"] = std::string(1200, 'n');
  for (const auto& [name, bytes] : all) {
    WriteFile(dir / name, bytes);
    std::string into = name == "report.doc" ? "::/Docs/" : "::/";
    MustRun(at + "mcopy -i " + Quote(floppy.image) + " " + Quote(dir / name) + " " + into);
  }
  MustRun(at + "mdel -i " + Quote(floppy.image) + " ::/gone.bin ::/letter.txt ::/Docs/report.doc");
  return floppy;
}

}  // namespace salvora::test
