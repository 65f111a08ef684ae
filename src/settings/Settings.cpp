// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file. Its layout (sections, keys, their order and letter case)
// is the one the program has always written, so a file written by the Windows
// version reads here unchanged and the other way round.
#include "settings/Settings.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/AtomicFile.h"
#include "settings/IniFile.h"

namespace {
constexpr const char* kIniName = "stellon.ini";

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

// Integer text as the program has always accepted it: optional sign, then
// decimal digits, or hexadecimal digits after "$" or "0x". Hexadecimal covers
// the full 32 bits (so $FFFFFFFF is -1). Anything else, or a decimal value out
// of range, is not a number.
bool ParseInt(const std::string& text, int32_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    value = value * uint64_t(base) + uint64_t(d);
    if (value > 0xFFFFFFFFull) return false;
  }
  int64_t v;
  if (base == 16) {
    v = int64_t(int32_t(uint32_t(value)));
  } else {
    v = int64_t(value);
    if (v > int64_t(INT32_MAX) + (negative ? 1 : 0)) return false;
  }
  out = int32_t(negative ? -v : v);
  return true;
}

// True when s is well-formed UTF-8.
bool IsUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

// A file written on Windows holds its texts in the ANSI code page
// (Windows-1252), e.g. "Téléscope" typed into the FITS dialog. Such bytes are
// not UTF-8; they are converted so that the texts show and save correctly.
std::string FromWindows1252(const std::string& s) {
  static const char16_t k80[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::string out;
  for (const char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const char32_t u = c < 0x80 ? c : c < 0xA0 ? k80[c - 0x80] : c;
    if (u < 0x80) {
      out += char(u);
    } else if (u < 0x800) {
      out += char(0xC0 | (u >> 6));
      out += char(0x80 | (u & 0x3F));
    } else {
      out += char(0xE0 | (u >> 12));
      out += char(0x80 | ((u >> 6) & 0x3F));
      out += char(0x80 | (u & 0x3F));
    }
  }
  return out;
}

class TReader {
 public:
  explicit TReader(const TIniFile& f) : F_(f) {}
  int32_t Int(const char* section, const char* key, int32_t def) const {
    int32_t v;
    return ParseInt(F_.ReadString(section, key, ""), v) ? v : def;
  }
  bool Bool(const char* section, const char* key, bool def) const { return Int(section, key, def ? 1 : 0) != 0; }
  std::string Str(const char* section, const char* key, const std::string& def) const {
    std::string v = F_.ReadString(section, key, def);
    return IsUtf8(v) ? v : FromWindows1252(v);
  }

 private:
  const TIniFile& F_;
};
}  // namespace

std::string ProgramDirectory() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string exe(buf, size_t(n));
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

std::string HomeDirectory() {
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) home = h;
  else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  else home = "/tmp";
  return WithSlash(home);
}

std::string DefaultSettingsPath(const std::string& programDir) {
  // A portable install keeps its file beside the program, but only one that
  // is already there: an installed program never writes into its own folder.
  if (!programDir.empty() && FileExists(WithSlash(programDir) + kIniName)) return WithSlash(programDir) + kIniName;
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') base = WithSlash(x);
  else base = HomeDirectory() + ".config/";
  return base + "stellon/" + kIniName;
}

TStatus MakeParentDirectories(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return TStatus::Ok();
  const std::string dir = path.substr(0, slash);
  if (IsDirectory(dir)) return TStatus::Ok();
  if (TStatus s = MakeParentDirectories(dir); !s) return s;
  if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) return TStatus::Fail(FileErrorText(dir, "cannot create", errno));
  return TStatus::Ok();
}

void ClampToDialogRanges(TParamglob& p) {
  p.tolerance = kToleranceRange.Clamp(p.tolerance);
  p.bordure = kBordureRange.Clamp(p.bordure);
  p.kappa = kKappaRange.Clamp(p.kappa);
  p.memoire_copies_mo = kMemoireRange.Clamp(p.memoire_copies_mo);
}

uint64_t FrameMemoryBudgetBytes(int32_t memoireMo, uint64_t automatic) {
  if (memoireMo < 0) return automatic;
  return uint64_t(memoireMo) << 20;
}

TStatus ReadSettings(const std::string& path, const std::string& defaultRepertoire, TParamglob& out) {
  TParamglob p;
  p.repertoire = defaultRepertoire;
  TIniFile file;
  const TStatus status = file.Load(path);  // on failure the document is empty: every default
  const TReader r(file);
  p.tolerance = r.Int("cadre", "tolerance", p.tolerance);
  p.tolerance_automatique = r.Bool("cadre", "tolerance_automatique", p.tolerance_automatique);
  p.calcul_simple = r.Bool("cadre", "calcul_simple", p.calcul_simple);
  p.calcul_complexe = r.Bool("cadre", "calcul_complexe", p.calcul_complexe);
  p.cadrage_surface = r.Bool("cadre", "cadrage_surface", p.cadrage_surface);
  p.bordure = r.Int("cadre", "bordure", p.bordure);
  p.Rapport = r.Bool("cadre", "Rapport", p.Rapport);
  p.memoire_copies_mo = r.Int("cadre", "memoire_copies_mo", p.memoire_copies_mo);
  p.kappa = r.Int("compositage", "kappa", p.kappa);
  p.rejet_kappa = r.Bool("compositage", "rejet_kappa", p.rejet_kappa);
  p.texte_avec_compositage = r.Bool("compositage", "texte_avec_compositage", p.texte_avec_compositage);
  p.repertoire = r.Str("repertoire", "sauvegarde", p.repertoire);
  p.barre_texte = r.Bool("Menu bar", "texte", p.barre_texte);
  p.barre_visible = r.Bool("Menu bar", "visible", p.barre_visible);
  p.numerotation_zero = r.Bool("repertoire", "numerotation_zero", p.numerotation_zero);
  p.Bitmap = r.Bool("Sauvegarde", "Bitmap", p.Bitmap);
  p.Fits = r.Bool("Sauvegarde", "Fits", p.Fits);
  p.FITS.Bits8 = r.Bool("Fits type", "8 bits", p.FITS.Bits8);
  p.FITS.Bits16 = r.Bool("Fits type", "16 bits", p.FITS.Bits16);
  p.FITS.MoyRVB = r.Bool("Fits type", "Moy RVB", p.FITS.MoyRVB);
  p.FITS.SepRVB = r.Bool("Fits type", "Sep RVB", p.FITS.SepRVB);
  p.FITS.Objet = r.Str("Fits type", "Objet", p.FITS.Objet);
  p.FITS.Telescope = r.Str("Fits type", "Telescope", p.FITS.Telescope);
  p.FITS.Instrument = r.Str("Fits type", "Instrument", p.FITS.Instrument);
  p.FITS.Observateur = r.Str("Fits type", "Observateur", p.FITS.Observateur);
  p.FITS.Commentaire = r.Str("Fits type", "Commentaire", p.FITS.Commentaire);
  // A section older files do not have: its keys keep their defaults there.
  p.FITS.PleineProfondeur = r.Bool("lucky", "pleine_profondeur", p.FITS.PleineProfondeur);
  p.alignement_subpixel = r.Bool("lucky", "alignement_subpixel", p.alignement_subpixel);

  // Outside the dialog's ranges a value gives absurd frames (a margin of
  // -5), nothing framed (a tolerance of 99999) or a kappa no dialog can show.
  ClampToDialogRanges(p);
  // A directory from another machine (or a Windows path) cannot take saves here.
  if (!IsDirectory(p.repertoire)) p.repertoire = defaultRepertoire;
  out = p;
  return status;
}

TStatus WriteSettings(const std::string& path, const TParamglob& p) {
  // Keep whatever else the file holds (other sections, comments).
  TIniFile file;
  if (TStatus s = file.Load(path); !s) return s;
  auto b = [](bool v) { return v ? "1" : "0"; };
  auto i = [](int32_t v) { return std::to_string(v); };
  file.WriteString("cadre", "tolerance", i(p.tolerance));
  file.WriteString("cadre", "tolerance_automatique", b(p.tolerance_automatique));
  file.WriteString("cadre", "calcul_simple", b(p.calcul_simple));
  file.WriteString("cadre", "calcul_complexe", b(p.calcul_complexe));
  file.WriteString("cadre", "cadrage_surface", b(p.cadrage_surface));
  file.WriteString("cadre", "bordure", i(p.bordure));
  file.WriteString("cadre", "Rapport", b(p.Rapport));
  file.WriteString("cadre", "memoire_copies_mo", i(p.memoire_copies_mo));
  file.WriteString("compositage", "kappa", i(p.kappa));
  file.WriteString("compositage", "rejet_kappa", b(p.rejet_kappa));
  file.WriteString("compositage", "texte_avec_compositage", b(p.texte_avec_compositage));
  file.WriteString("repertoire", "sauvegarde", p.repertoire);
  file.WriteString("Menu bar", "texte", b(p.barre_texte));
  file.WriteString("Menu bar", "visible", b(p.barre_visible));
  file.WriteString("repertoire", "numerotation_zero", b(p.numerotation_zero));
  file.WriteString("Sauvegarde", "Bitmap", b(p.Bitmap));
  file.WriteString("Sauvegarde", "Fits", b(p.Fits));
  file.WriteString("Fits type", "8 bits", b(p.FITS.Bits8));
  file.WriteString("Fits type", "16 bits", b(p.FITS.Bits16));
  file.WriteString("Fits type", "Moy RVB", b(p.FITS.MoyRVB));
  file.WriteString("Fits type", "Sep RVB", b(p.FITS.SepRVB));
  file.WriteString("Fits type", "Objet", p.FITS.Objet);
  file.WriteString("Fits type", "Telescope", p.FITS.Telescope);
  file.WriteString("Fits type", "Instrument", p.FITS.Instrument);
  file.WriteString("Fits type", "Observateur", p.FITS.Observateur);
  file.WriteString("Fits type", "Commentaire", p.FITS.Commentaire);
  file.WriteString("lucky", "alignement_subpixel", b(p.alignement_subpixel));
  file.WriteString("lucky", "pleine_profondeur", b(p.FITS.PleineProfondeur));
  return file.Save(path);
}

std::string SettingsWriteErrorText(const std::string& path) { return "Impossible d'\u00e9crire dans " + path; }
