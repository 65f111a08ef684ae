// What a file from outside (command line, "Open with", a drop) opens as.
#include <gtest/gtest.h>

#include <utility>

#include "app/OpenFile.h"

TEST(OpenKind, ByExtensionInAnyCase) {
  const std::pair<const char*, TOpenKind> cases[] = {
      {"/m/jupiter.avi", TOpenKind::Avi},         {"MARS.AVI", TOpenKind::Avi},
      {"night.lst", TOpenKind::KelvaronList},     {"/a.b/NIGHT.LST", TOpenKind::KelvaronList},
      {"image.bmp", TOpenKind::Unknown},          {"avi", TOpenKind::Unknown},
      {"/dir.avi/readme", TOpenKind::Unknown},    {"list.lst.txt", TOpenKind::Unknown},
  };
  for (const auto& [path, kind] : cases) EXPECT_EQ(OpenKindOf(path), kind) << path;
}
