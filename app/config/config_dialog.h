#pragma once
// The settings dialog "Config": shows the player's settings and forwards OK,
// Cancel, Browse and the UI-mode choice to the rules in config_logic.h.
// Controls are reached by their dialog ids.
#include <QDialog>
#include <QSize>
#include <map>
#include <memory>

#include "app/config/config_logic.h"

class QtPrompts;

class CConfigDlg : public QDialog {
public:
  // panel: refreshed after OK (may be null); prompts: null for message boxes;
  // screen: the size the UI-mode choice is checked against (empty: the primary screen).
  explicit CConfigDlg(PanelRefresh* panel, UserPrompts* prompts = nullptr, QSize screen = {},
                      QWidget* parent = nullptr);
  ~CConfigDlg() override;

  QWidget* Control(int id) const;

  void OnBrowse();
  void OnUiModeChosen(int position);
  void OnOk();

private:
  void Build();
  void ShowValues(const ConfigValues& v);
  ConfigValues ReadValues() const;
  void Add(int id, QWidget* w) { controls_[id] = w; }

  std::unique_ptr<QtPrompts> ownPrompts_;
  UserPrompts& prompts_;
  PanelRefresh* panel_;
  QSize screen_;
  std::map<int, QWidget*> controls_;
  bool showing_ = false;
};
