// SPDX-License-Identifier: GPL-3.0-or-later
// What a file opens as, and where the user guide is.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <utility>
#include "app/Guide.h"
#include "app/OpenFile.h"
#include "support/VideoFixtures.h"

TEST(OpenKind, ByExtensionInAnyCase) {
  const std::pair<const char*, TOpenKind> cases[] = {
      {"/m/jupiter.avi", TOpenKind::Avi},         {"MARS.AVI", TOpenKind::Avi},
      {"night.lst", TOpenKind::KelvaronList},     {"/a.b/NIGHT.LST", TOpenKind::KelvaronList},
      {"image.bmp", TOpenKind::Unknown},          {"avi", TOpenKind::Unknown},
      {"/dir.avi/readme", TOpenKind::Unknown},    {"list.lst.txt", TOpenKind::Unknown},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(OpenKindOf(path), kind) << path;
}

TEST(GuidePath, InstalledGuideFirstElseTheSourceTree) {
  fixtures::TTempDir prefix;
  std::filesystem::create_directories(prefix.File("bin"));
  const std::string fromSource = GuidePath(prefix.File("bin"));
  EXPECT_EQ(fromSource.rfind("/docs/guide.md"), fromSource.size() - 14) << fromSource;
  std::filesystem::create_directories(prefix.File("share/doc/stellon"));
  std::ofstream(prefix.File("share/doc/stellon/guide.md")) << "# Guide\n";
  EXPECT_EQ(GuidePath(prefix.File("bin")),
            std::filesystem::weakly_canonical(prefix.File("share/doc/stellon/guide.md")).string());
}
