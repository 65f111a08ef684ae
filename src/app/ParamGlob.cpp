// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ParamGlob.h"

#include <algorithm>
#include <cstdint>

#include "sequence/FrameBlockPool.h"

TParamglob ParamGlob;
TParamglob ParamSaisie;
TParamFITS ParamFits;
int32_t KappaFactor = 3;

namespace {
std::string gIniOverride;
std::string gDefaultRepertoire;
}  // namespace

std::string IniPath() { return gIniOverride.empty() ? DefaultSettingsPath(ProgramDirectory()) : gIniOverride; }

void SetIniPath(const std::string& path) { gIniOverride = path; }

bool TakeIniOption(int& argc, char** argv) {
  bool found = false;
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--ini" && i + 1 < argc) {
      SetIniPath(argv[++i]);
      found = true;
    } else if (a.rfind("--ini=", 0) == 0) {
      SetIniPath(a.substr(6));
      found = true;
    } else {
      argv[out++] = argv[i];
    }
  }
  if (out < argc) argv[out] = nullptr;
  argc = out;
  return found;
}

std::string DefaultRepertoire() {
  if (gDefaultRepertoire.empty()) return HomeDirectory();
  return gDefaultRepertoire.back() == '/' ? gDefaultRepertoire : gDefaultRepertoire + '/';
}

void SetDefaultRepertoire(const std::string& dir) { gDefaultRepertoire = dir; }

TStatus LireParamGlob() { return ReadSettings(IniPath(), DefaultRepertoire(), ParamGlob); }

TStatus EcrireParamGlob() {
  const std::string path = IniPath();
  if (gIniOverride.empty()) (void)MakeParentDirectories(path);  // a failure shows as the write's
  return WriteSettings(path, ParamGlob);
}

std::string IniWriteErrorText(const std::string& path) { return SettingsWriteErrorText(path); }

void ApplyFrameMemoryBudget(const TParamglob& p) {
  const uint64_t bytes = FrameMemoryBudgetBytes(p.memoire_copies_mo, DefaultFrameBlockBudget());
  SetFrameBlockBudget(size_t(std::min<uint64_t>(bytes, SIZE_MAX)));
}

TAutoFrameOptions AutoFrameOptionsOf(const TParamglob& p) {
  TAutoFrameOptions o;
  o.ComplexMode = p.calcul_complexe;
  o.AutoTolerance = p.tolerance_automatique;
  o.bordure = p.bordure;
  return o;
}

TSurfaceOptions SurfaceOptionsOf(const TParamglob& p, const TRect& region, int32_t reference) {
  TSurfaceOptions o;
  o.Region = region;
  o.Reference = reference;
  o.bordure = p.bordure;
  o.SubPixel = p.alignement_subpixel;
  return o;
}

bool CombineAlignsOf(const TParamglob& p) { return p.alignement_subpixel && !p.cadrage_surface; }

TCombineParams CombineParamsOf(const TParamglob& p, int32_t kappa) {
  TCombineParams c;
  c.bordure = p.bordure;
  c.rejet_kappa = p.rejet_kappa;
  c.kappa = kappa;
  return c;
}

TCombineParams CurrentCombineParams() { return CombineParamsOf(ParamGlob, KappaFactor); }
