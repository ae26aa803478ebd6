#pragma once
// An in-memory window model for the translation tests: components with plain
// fields, owners and parents set by the test, text measured at 7 pixels a byte.
#include <memory>
#include <string>
#include <vector>

#include "lang/components.h"

class FakeComponent : public TComponent {
public:
    static constexpr int kPixelsPerChar = 7;

    FakeComponent(ComponentKind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

    // Creates a component owned by this one, sitting in parent (none for a menu item or a non-visual one).
    FakeComponent& Add(ComponentKind kind, const std::string& text, FakeComponent* parent)
    {
        owned_.push_back(std::make_unique<FakeComponent>(kind, text));
        owned_.back()->parent_ = parent;
        return *owned_.back();
    }

    ComponentKind Kind() const override { return kind_; }
    std::string GetText() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }
    std::string GetHint() const override { return hint_; }
    void SetHint(const std::string& hint) override { hint_ = hint; }
    int GetWidth() const override { return width_; }
    void SetWidth(int width) override { width_ = width; }
    std::uint8_t GetCharset() const override { return charset_; }
    void SetCharset(std::uint8_t charset) override { charset_ = charset; }
    bool ParentFont() const override { return parentFont_; }
    TComponent* Parent() const override { return parent_; }
    int ComponentCount() const override { return static_cast<int>(owned_.size()); }
    TComponent* Components(int index) const override { return owned_.at(static_cast<std::size_t>(index)).get(); }
    int TextWidth(const std::string& text, const TComponent&) const override
    {
        return static_cast<int>(text.size()) * kPixelsPerChar;
    }

    int width_ = 100;
    std::uint8_t charset_ = 1;  // DEFAULT_CHARSET, so that every change to 0 shows
    bool parentFont_ = false;

private:
    ComponentKind kind_;
    std::string text_;
    std::string hint_;
    FakeComponent* parent_ = nullptr;
    std::vector<std::unique_ptr<FakeComponent>> owned_;
};

class FakeApplication : public TApplicationModel {
public:
    FakeApplication() { SetApplication(this); }
    ~FakeApplication() override { SetApplication(nullptr); }
    FakeApplication(const FakeApplication&) = delete;
    FakeApplication& operator=(const FakeApplication&) = delete;

    FakeComponent& AddForm(const std::string& caption)
    {
        forms_.push_back(std::make_unique<FakeComponent>(ComponentKind::Form, caption));
        return *forms_.back();
    }
    int FormCount() const override { return static_cast<int>(forms_.size()); }
    TComponent* Forms(int index) const override { return forms_.at(static_cast<std::size_t>(index)).get(); }
    TComponent* MainForm() const override { return forms_.empty() ? nullptr : forms_.front().get(); }

private:
    std::vector<std::unique_ptr<FakeComponent>> forms_;
};
