// SPDX-License-Identifier: GPL-3.0-or-later
// AEffGUIEditor: rectangle, frame forwarding, the idle throttle (on a clock the test
// drives), the class-wide knob mode and begin/end edit to the host.
#include <gtest/gtest.h>

#include "FakeFrame.h"
#include "RecordingHost.h"
#include "host/AEffGUIEditor.h"
#include "host/TickClock.h"

namespace {

std::uint64_t fakeNow = 1000000;
std::uint64_t fakeClock() {
    return fakeNow;
}

class TestEditor : public AEffGUIEditor {
public:
    explicit TestEditor(AudioEffect* effect) : AEffGUIEditor(effect) {
        rect = ERect{0, 0, 260, 560};
    }
    bool open(void* window) override {
        AEffGUIEditor::open(window);
        frame = &fakeFrame;
        return true;
    }
    void close() override {
        frame = nullptr;
        AEffGUIEditor::close();
    }
    FakeFrame fakeFrame;
};

class Editor : public ::testing::Test {
public:
    void SetUp() override {
        RecordingHost::reset();
        setTickSource(&fakeClock);
        effect = new PlainEffect();
        editor = new TestEditor(effect); // owned by the effect from here on
    }
    void TearDown() override {
        AEffect* record = effect->getAeffect();
        record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
        setTickSource(nullptr);
        AEffGUIEditor knobReset(nullptr);
        knobReset.setKnobMode(0);
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }
    void openEditor() {
        int window = 0;
        ASSERT_EQ(dispatch(effEditOpen, 0, 0, &window), 1);
    }
    int hostIdles() const {
        int n = 0;
        for (const auto& c : RecordingHost::calls) n += c.opcode == audioMasterIdle;
        return n;
    }
    PlainEffect* effect = nullptr;
    TestEditor* editor = nullptr;
};

TEST_F(Editor, AttachesItselfAndHandsOutItsRectangle) {
    EXPECT_EQ(effect->getEditor(), editor);
    EXPECT_EQ(effect->getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 560);
    EXPECT_EQ(rect->bottom - rect->top, 260);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, nullptr), 0) << "nowhere to store the rectangle";
}

TEST_F(Editor, ClosedEditorAnswersNothingAndDoesNoHarm) {
    VstKeyCode key{65, 0, 0};
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(dispatch(effEditKeyDown, 65), 0);
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_FALSE(editor->onKeyUp(key));
    EXPECT_FALSE(editor->onWheel(1.0f));
    EXPECT_FALSE(editor->mouse(1, 2));
    editor->draw(nullptr);
    EXPECT_EQ(editor->fakeFrame.idles, 0);
    EXPECT_TRUE(editor->fakeFrame.redraws.empty());
}

TEST_F(Editor, KeysWheelMouseAndDrawReachTheFrame) {
    openEditor();
    FakeFrame& f = editor->fakeFrame;
    EXPECT_EQ(dispatch(effEditKeyDown, 65, 0x1FF, nullptr, 3.7f), 1);
    EXPECT_EQ(f.lastKey.character, 65);
    EXPECT_EQ(f.lastKey.virt, 0xFF);
    EXPECT_EQ(f.lastKey.modifier, 3);
    f.keyAnswer = -1;
    EXPECT_EQ(dispatch(effEditKeyDown, 66), 0) << "the frame did not handle it";
    EXPECT_EQ(dispatch(effEditKeyUp, 66), 0);
    f.keyAnswer = 0;
    EXPECT_EQ(dispatch(effEditKeyUp, 66), 0);

    EXPECT_TRUE(editor->onWheel(-2.0f));
    EXPECT_EQ(f.wheel.x, 12);
    EXPECT_EQ(f.wheel.y, 34);
    EXPECT_EQ(f.wheel.distance, -2.0f);
    EXPECT_EQ(f.wheel.buttons, 0x12);

    EXPECT_TRUE(editor->mouse(5, 6));
    ASSERT_EQ(f.clicks.size(), 1u);
    EXPECT_EQ(f.clicks[0].buttons, -1) << "buttons to be queried";

    ERect flipped{50, 40, 10, 20}; // top below bottom, left right of right
    editor->draw(&flipped);
    editor->draw(nullptr);
    ASSERT_EQ(f.redraws.size(), 2u);
    EXPECT_EQ(f.redraws[0].top, 10);
    EXPECT_EQ(f.redraws[0].bottom, 50);
    EXPECT_EQ(f.redraws[0].left, 20);
    EXPECT_EQ(f.redraws[0].right, 40);
    EXPECT_EQ(f.redraws[1].top, -1) << "null means the whole frame";

    dispatch(effEditIdle);
    EXPECT_EQ(f.idles, 1);
}

TEST_F(Editor, IdleThrottle) {
    openEditor();
    FakeFrame& f = editor->fakeFrame;
    fakeNow += 1000; // long after construction: due

    editor->doIdleStuff();
    EXPECT_EQ(f.idles, 1);
    EXPECT_EQ(hostIdles(), 1);
    EXPECT_TRUE(f.waits.empty());

    fakeNow += 10; // 10 ms later: waits 4 ms and leaves, the next idle is 90 ms away
    editor->doIdleStuff();
    EXPECT_EQ(f.idles, 1);
    EXPECT_EQ(hostIdles(), 1);
    ASSERT_EQ(f.waits.size(), 1u);
    EXPECT_EQ(f.waits[0], 4u);

    fakeNow += 35; // 45 ms after the idle, +4 = 49: still more than 50 ms before due (100)
    editor->doIdleStuff();
    EXPECT_EQ(f.idles, 1);

    fakeNow += 15; // 60 ms after the idle: waits, then within 50 ms of due: idles
    editor->doIdleStuff();
    EXPECT_EQ(f.idles, 2);
    EXPECT_EQ(hostIdles(), 2);
    EXPECT_EQ(f.waits.size(), 3u);

    // The next one is due 100 ms after 60 + 4: at 164.
    fakeNow += 103; // 163: waits, 167 is past due - 50
    editor->doIdleStuff();
    EXPECT_EQ(f.idles, 3);
    EXPECT_EQ(f.waits.size(), 4u);
}

TEST_F(Editor, HostIdlingTheEditorFromItsIdleIsIgnored) {
    openEditor();
    fakeNow += 1000;
    static Editor* self;
    self = this;
    // Some hosts answer audioMasterIdle by sending effEditIdle.
    RecordingHost::onCall = [](const RecordedCall& c) {
        if (c.opcode == audioMasterIdle) self->dispatch(effEditIdle);
    };
    editor->doIdleStuff();
    EXPECT_EQ(editor->fakeFrame.idles, 1) << "only the editor's own idle";
    RecordingHost::onCall = nullptr;
    dispatch(effEditIdle);
    EXPECT_EQ(editor->fakeFrame.idles, 2);
}

TEST_F(Editor, KnobModeIsClassWide) {
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->getKnobMode(), 2);
    PlainEffect* second = new PlainEffect();
    auto* later = new TestEditor(second);
    EXPECT_EQ(later->getKnobMode(), 2) << "an editor built afterwards shares the mode";
    AEffect* record = second->getAeffect();
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(Editor, EditsAreBracketedToTheHost) {
    VSTGUIEditorInterface& toolkitView = *editor;
    toolkitView.beginEdit(3);
    toolkitView.endEdit(3);
    ASSERT_EQ(RecordingHost::calls.size(), 2u);
    EXPECT_EQ(RecordingHost::calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(RecordingHost::calls[0].index, 3);
    EXPECT_EQ(RecordingHost::calls[1].opcode, audioMasterEndEdit);
    EXPECT_EQ(RecordingHost::calls[1].index, 3);
}

TEST(TickClock, MonotonicMilliseconds) {
    setTickSource(nullptr);
    const std::uint64_t a = AEffGUIEditor::getTicks();
    AEffGUIEditor editor(nullptr);
    editor.wait(5); // no frame: sleeps
    const std::uint64_t b = AEffGUIEditor::getTicks();
    EXPECT_GE(b, a + 5);
    EXPECT_LT(b, a + 5000);
}

} // namespace
