// The settings record and the settings file stellon.ini.
#pragma once

#include <cstdint>
#include <string>

// FITS-saving parameters.
struct TParamFITS {
  bool Bits8 = true;        // key "8 bits"
  bool Bits16 = false;      // key "16 bits"
  bool MoyRVB = true;       // key "Moy RVB": colour becomes one plane, the mean of the components
  bool SepRVB = false;      // key "Sep RVB": colour becomes three files, one per component
  std::string Objet;        // OBJECT card
  std::string Telescope;    // TELESCOP card
  std::string Instrument = "QuickCam";  // INSTRUME card
  std::string Observateur;  // OBSERVER card
  std::string Commentaire;  // COMMENT card
  friend bool operator==(const TParamFITS&, const TParamFITS&) = default;
};

// Every persistent setting, with its built-in default.
struct TParamglob {
  int32_t tolerance = 30;
  bool tolerance_automatique = false;
  bool calcul_simple = true;
  bool calcul_complexe = false;
  int32_t bordure = 10;
  bool Rapport = true;
  int32_t kappa = 3;
  bool rejet_kappa = false;
  bool texte_avec_compositage = false;
  std::string repertoire;  // save directory, with a trailing separator
  bool barre_visible = true;
  bool barre_texte = false;
  bool numerotation_zero = true;
  bool Bitmap = true;
  bool Fits = false;
  TParamFITS FITS;
  friend bool operator==(const TParamglob&, const TParamglob&) = default;
};

extern TParamglob ParamGlob;   // the live settings
extern TParamglob ParamSaisie; // what the Parameters dialog returns on OK
extern TParamFITS ParamFits;   // what the FITS dialog edits and the FITS writer reads

// The settings file used by LireParamGlob/EcrireParamGlob. SetIniPath overrides
// the default location (command-line option --ini).
// Default location: beside the program when a stellon.ini is already there or
// the program's folder is writable (portable install), else
// $XDG_CONFIG_HOME/stellon/stellon.ini (~/.config/stellon/), made when written.
std::string IniPath();
void SetIniPath(const std::string& path);
// Takes "--ini PATH" (or "--ini=PATH") out of argv and calls SetIniPath;
// argc and argv are updated in place. True when the option was present.
bool TakeIniOption(int& argc, char** argv);
// Default save directory, with a trailing separator: the program's folder when
// it is writable, else the user's home folder.
std::string DefaultRepertoire();

// Range of the margin in the Parameters dialog; a value read from the file is
// brought into it.
inline constexpr int32_t BordureMin = 0;
inline constexpr int32_t BordureMax = 100;

// Resets ParamGlob to its defaults, then reads every key present in the file.
// A missing or unreadable file, a missing key or a value that is not a number
// leaves the default; bordure is brought into BordureMin..BordureMax and a
// repertoire that is not an existing directory becomes DefaultRepertoire().
void LireParamGlob();
// Writes every key of ParamGlob into IniPath(), keeping the file's other
// sections and comments; the whole file is replaced at once. False when the
// file cannot be written (the previous file is then left intact): the caller
// tells the user "Impossible d'écrire dans %s" with IniPath().
bool EcrireParamGlob();
// "Impossible d'écrire dans " followed by path: the text to show when
// EcrireParamGlob fails.
std::string IniWriteErrorText(const std::string& path);
