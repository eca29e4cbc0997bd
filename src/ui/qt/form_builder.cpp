#include "ui/qt/form_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>

namespace dt::ui {

namespace {

// Buttons take the caption as it stands: Qt, like the descriptions, shows a
// doubled "&&" as one ampersand there.
void SetText(QWidget* w, const std::string& utf8) {
  const QString text = Caption(utf8.c_str());
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(QString::fromStdString(utf8));
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(text);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    // Setting the same text again would put the caret at its end.
    if (e->text() != text) e->setText(text);
  } else if (auto* c = qobject_cast<QComboBox*>(w)) {
    c->setPlaceholderText(text);
  }
}

}  // namespace

void BuiltForm::SetRect(QWidget* w, const form::ControlSpec& c, const form::Rect& r) const {
  int x = r.x;
  if (*c.rightOf) {
    const QWidget* left = widgets_.at(c.rightOf);
    x += left->x() + left->width();
  }
  if (c.autoSize) {
    w->move(x, r.y);
    w->adjustSize();
  } else {
    w->setGeometry(x, r.y, r.width, r.height);
  }
}

QString Caption(const char* text) {
  return QString::fromUtf8(text).replace("&&", "&");
}

QFont ControlFont(const form::FontSpec& spec) {
  QFont f;
  QStringList families;
  for (const char* name : spec.families) families << name;
  f.setFamilies(families);
  if (spec.fixedPitch) {
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
  }
  if (spec.points > 0) f.setPointSize(spec.points);
  return f;
}

QFont FormFont(const form::FormSpec& spec) {
  QFont f;
  QStringList families;
  for (const char* name : spec.fontFamilies) families << name;
  f.setFamilies(families);
  f.setPointSize(spec.fontPoints);
  if (!families.isEmpty() && !QFontInfo(f).family().contains(families.front().section(' ', -2)))
    f.setStretch(90);
  return f;
}

BuiltForm::BuiltForm(QWidget* form, const form::FormSpec& spec, const Custom& custom)
    : spec_(spec), shown_(spec) {
  form->setObjectName(spec.name);
  form->setWindowTitle(QString::fromUtf8(spec.title));
  if (!spec.fontFamilies.empty()) form->setFont(FormFont(spec));
  if (spec.border == form::Border::Fixed)
    form->setWindowFlags((form->windowFlags() & Qt::WindowType_Mask) | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint);
  // Buttons of a form without a default button do not take Enter.
  bool dialogKeys = false;
  for (const form::ControlSpec& c : spec.controls)
    dialogKeys |= c.kind == form::Kind::DefaultButton;
  for (const form::ControlSpec& c : spec.controls) {
    if (c.kind == form::Kind::Timer) continue;
    QWidget* parent = form;
    if (*c.parent) parent = widgets_.at(c.parent);
    QWidget* w = nullptr;
    const QString caption = Caption(c.caption);
    const QString buttonCaption = QString::fromUtf8(c.caption);
    switch (c.kind) {
      case form::Kind::Label:
        w = new QLabel(caption, parent);
        break;
      case form::Kind::CentredLabel: {
        auto* l = new QLabel(caption, parent);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        w = l;
        break;
      }
      case form::Kind::Button:
      case form::Kind::DefaultButton: {
        auto* b = new QPushButton(buttonCaption, parent);
        if (!dialogKeys) b->setAutoDefault(false);
        b->setDefault(c.kind == form::Kind::DefaultButton);
        w = b;
        break;
      }
      case form::Kind::CheckBox: {
        auto* b = new QCheckBox(buttonCaption, parent);
        b->setChecked(c.checked);
        w = b;
        break;
      }
      case form::Kind::RadioButton: {
        auto* b = new QRadioButton(buttonCaption, parent);
        b->setChecked(c.checked);
        w = b;
        break;
      }
      case form::Kind::Edit:
        w = new QLineEdit(caption, parent);
        break;
      case form::Kind::ComboBox:
      case form::Kind::DriveSelector: {
        auto* b = new QComboBox(parent);
        b->setPlaceholderText(caption);
        w = b;
        break;
      }
      case form::Kind::Panel: {
        auto* p = new QFrame(parent);
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Raised);
        w = p;
        break;
      }
      case form::Kind::Memo: {
        auto* m = new QPlainTextEdit(caption, parent);
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
        m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        w = m;
        break;
      }
      default:
        if (custom) w = custom(c, parent);
        break;
    }
    if (!w) throw std::logic_error(std::string("no widget for ") + c.name);
    w->setObjectName(c.name);
    if (*c.hint) w->setToolTip(QString::fromUtf8(c.hint));
    if (c.font) w->setFont(ControlFont(*c.font));
    if (c.fontPixels || c.bold) {
      QFont f = w->font();
      if (c.fontPixels) f.setPixelSize(c.fontPixels);
      f.setBold(c.bold);
      w->setFont(f);
    }
    SetRect(w, c, c.rect);
    w->setEnabled(c.enabled);
    if (!c.visible) w->hide();
    widgets_[c.name] = w;
  }
  auto* dialog = qobject_cast<QDialog*>(form);
  if (spec.border == form::Border::Dialog) {
    form->setFixedSize(spec.clientWidth, spec.clientHeight);
  } else {
    if (dialog && spec.border == form::Border::SizeGrip) dialog->setSizeGripEnabled(true);
    form->resize(spec.clientWidth, spec.clientHeight);
  }
}

void BuiltForm::Apply(const form::FormState& state) {
  for (const form::ControlSpec& c : spec_.controls) {
    const auto it = widgets_.find(c.name);
    if (it == widgets_.end()) continue;
    QWidget* w = it->second;
    const form::ControlState& now = state[c.name];
    form::ControlState& was = shown_[c.name];
    if (now.rect.x != was.rect.x || now.rect.y != was.rect.y || now.rect.width != was.rect.width ||
        now.rect.height != was.rect.height)
      SetRect(w, c, now.rect);
    if (now.text != was.text) {
      SetText(w, now.text);
      if (c.autoSize) w->adjustSize();
    }
    if (now.checked != was.checked)
      if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setChecked(now.checked);
    if (now.enabled != was.enabled) w->setEnabled(now.enabled);
    if (now.visible != was.visible) w->setVisible(now.visible);
    was = now;
  }
}

}  // namespace dt::ui
