#include "lang/window_translation.h"

#include <gtest/gtest.h>

#include "fake_components.h"
#include "lang_test_support.h"

namespace {

class WindowTranslation : public ::testing::Test {
protected:
    void SetUp() override { LoadTestTexts(); }
    void TearDown() override { DoneMultiLingua(); }
};

struct TestForm {
    explicit TestForm(FakeApplication& app)
        : form(app.AddForm("Abbrechen")),
          panel(form.Add(ComponentKind::Panel, "Ordner", &form)),
          label(form.Add(ComponentKind::Label, "Nur zwei Sprachen:", &panel)),
          check(form.Add(ComponentKind::CheckBox, "Abbrechen", &panel)),
          radio(form.Add(ComponentKind::RadioButton, "Nur zwei Sprachen", &form)),
          edit(form.Add(ComponentKind::Edit, "Ordner", &form)),
          list(form.Add(ComponentKind::ListBox, "", &form)),
          menu(form.Add(ComponentKind::MenuItem, "&Abbrechen", nullptr)),
          timer(form.Add(ComponentKind::NonVisual, "Ordner", nullptr)),
          inner(panel.Add(ComponentKind::Button, "Abbrechen", &panel))
    {
        check.width_ = 10;
        radio.width_ = 500;
        menu.SetHint("Abbrechen|Bricht ab");
        label.SetHint("|Ordner");
        list.parentFont_ = true;
    }
    FakeComponent& form;
    FakeComponent& panel;
    FakeComponent& label;
    FakeComponent& check;
    FakeComponent& radio;
    FakeComponent& edit;
    FakeComponent& list;
    FakeComponent& menu;
    FakeComponent& timer;
    FakeComponent& inner;  // owned by the panel
};

} // namespace

TEST_F(WindowTranslation, TranslateFormFollowsTheCurrentLanguage)
{
    FakeApplication app;
    TestForm f(app);
    TranslateForm(f.form);
    EXPECT_EQ(f.form.GetText(), "Abbrechen") << "nothing happens while DE is current";
    EXPECT_EQ(f.menu.GetText(), "&Abbrechen");
    EXPECT_EQ(f.check.width_, 10);

    MLSystem->CurrentLng = "EN";
    TranslateForm(f.form);
    EXPECT_EQ(f.form.GetText(), "Cancel");
    EXPECT_EQ(f.panel.GetText(), "Folder");
    EXPECT_EQ(f.label.GetText(), "Two languages only:");
    EXPECT_EQ(f.label.GetHint(), "|Ordner") << "a hint that starts with '|' stays";
    EXPECT_EQ(f.edit.GetText(), "Folder");
    EXPECT_EQ(f.menu.GetText(), "Cancel");
    EXPECT_EQ(f.menu.GetHint(), "Cancel|Bricht ab");
    EXPECT_EQ(f.timer.GetText(), "Ordner") << "non-visual components are left alone";
    EXPECT_EQ(f.inner.GetText(), "Cancel") << "components owned by a panel";
    EXPECT_EQ(f.check.GetText(), "Cancel");
    EXPECT_EQ(f.check.width_, 6 * FakeComponent::kPixelsPerChar + 22) << "widened to its text";
    EXPECT_EQ(f.radio.GetText(), "Two languages only");
    EXPECT_EQ(f.radio.width_, 500) << "never narrowed";

    const std::string longText = "&Abbrechen" + std::string(5000, ' ');
    f.edit.SetText(longText);
    MLSystem->CurrentLng = "PL";
    TranslateComponent(f.form, "EN", "PL");
    EXPECT_EQ(f.edit.GetText(), longText) << "a text beyond 4094 characters is neither cut nor changed";
    EXPECT_EQ(f.form.GetText(), "Anuluj");
}

TEST_F(WindowTranslation, SwitchLanguageRetranslatesAndSetsCharsets)
{
    FakeApplication app;
    TestForm f(app);
    FakeComponent& second = app.AddForm("Ordner");
    FakeComponent& secondLabel = second.Add(ComponentKind::Label, "Abbrechen", &second);
    FakeComponent& secondCheck = second.Add(ComponentKind::CheckBox, "Ordner", &second);
    secondCheck.width_ = 1000;

    EXPECT_FALSE(SwitchLanguage("DE", "RU", "")) << "a language that is not loaded";
    EXPECT_EQ(MLSystem->CurrentLng, "DE");
    EXPECT_EQ(f.form.GetText(), "Abbrechen");

    ASSERT_TRUE(SwitchLanguage(MLSystem->CurrentLng, "PL", ""));
    EXPECT_EQ(MLSystem->CurrentLng, "PL");
    EXPECT_EQ(f.form.GetText(), "Anuluj");
    EXPECT_EQ(secondLabel.GetText(), "Anuluj");
    EXPECT_EQ(second.GetText(), "Folder");
    EXPECT_EQ(f.check.width_, 6 * FakeComponent::kPixelsPerChar + 22);
    EXPECT_EQ(secondCheck.width_, 1000);
    EXPECT_EQ(FormCharset, 238);
    for (FakeComponent* c : {&f.form, &f.panel, &f.label, &f.check, &f.radio, &second, &secondLabel, &secondCheck}) {
        EXPECT_EQ(c->charset_, 238) << c->GetText();
    }
    EXPECT_EQ(f.list.charset_, 1) << "a control with its parent's font keeps it";
    EXPECT_EQ(f.edit.charset_, 1) << "edit fields are not among the controls that get a character set";
    EXPECT_EQ(f.inner.charset_, 1) << "only what the form itself owns";

    // A form created after the switch: translated from DE and given the character set.
    FakeComponent& late = app.AddForm("Abbrechen");
    FakeComponent& lateButton = late.Add(ComponentKind::Button, "Nur zwei Sprachen", &late);
    TranslateForm(late);
    EXPECT_EQ(late.GetText(), "Anuluj");
    EXPECT_EQ(lateButton.GetText(), "Two languages only") << "PL lacks it: the fallback EN";
    EXPECT_EQ(lateButton.charset_, 238);

    ASSERT_TRUE(SwitchLanguage(MLSystem->CurrentLng, "HU", "DE"));
    EXPECT_EQ(MLSystem->FallbackLng, "DE");
    EXPECT_EQ(FormCharset, 0);
    EXPECT_EQ(f.form.charset_, 0);
    EXPECT_EQ(f.panel.GetText(), "Mappa");
    EXPECT_EQ(f.form.GetText(), "Abbrechen") << "HU lacks it: the new fallback DE";
}

TEST_F(WindowTranslation, MeasuresOnTheMainFormWithoutAFormParent)
{
    FakeApplication app;
    app.AddForm("Hauptfenster");
    FakeComponent frame(ComponentKind::Panel, "Ordner");
    FakeComponent& check = frame.Add(ComponentKind::CheckBox, "Nur zwei Sprachen", &frame);
    check.width_ = 0;
    TranslateComponent(frame, "DE", "EN");
    EXPECT_EQ(check.GetText(), "Two languages only");
    EXPECT_EQ(check.width_, 18 * FakeComponent::kPixelsPerChar + 22);

    SetApplication(nullptr);
    FakeComponent& other = frame.Add(ComponentKind::RadioButton, "Abbrechen", &frame);
    other.width_ = 5;
    TranslateComponent(frame, "DE", "EN");
    EXPECT_EQ(other.GetText(), "Cancel");
    EXPECT_EQ(other.width_, 5) << "nothing to measure on: the width stays";
}
