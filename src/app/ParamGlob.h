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
std::string IniPath();
void SetIniPath(const std::string& path);
// Default save directory, with a trailing separator.
std::string DefaultRepertoire();

// Resets ParamGlob to its defaults, then reads every key present in the file.
void LireParamGlob();
// Writes every key of ParamGlob; false when the file cannot be written (the
// previous file is then left intact).
bool EcrireParamGlob();
