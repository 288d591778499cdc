#include "platform/ui/RecordingGraphicsContext.h"

#include <gtest/gtest.h>

using namespace tavlo::ui;

TEST(Graphics, ARecordingContextCapturesAFilledEllipseAndAText) {
    RecordingGraphicsContext context(Size{1024, 768});
    context.setFillColor(Color::red());
    context.fillEllipse({100, 200, 80, 60});
    context.setFillColor(Color::black());
    context.drawText("T12 (01:05)", Point{110, 220}, Font::named("Arial", 16));
    context.strokeRect({10, 30, 300, 60});

    const Drawing& drawing = context.drawing();
    auto ellipses = drawing.shapes(DrawCommand::Kind::Fill, Path::Op::Ellipse);
    ASSERT_EQ(ellipses.size(), 1u);
    EXPECT_EQ(ellipses[0]->rect, (Rect{100, 200, 80, 60}));
    EXPECT_EQ(ellipses[0]->state.fillColor, Color::red());
    EXPECT_EQ(drawing.texts(), (std::vector<std::string>{"T12 (01:05)"}));
    const DrawCommand& text = *drawing.ofKind(DrawCommand::Kind::Text)[0];
    EXPECT_EQ(text.font.family(), "Arial");
    EXPECT_EQ(text.rect.origin, (Point{110, 220}));
    EXPECT_EQ(text.rect.size, Font::named("Arial", 16).measure("T12 (01:05)"));
    EXPECT_EQ(drawing.shapes(DrawCommand::Kind::Stroke, Path::Op::Rect).size(), 1u);
    EXPECT_TRUE(drawing.shapes(DrawCommand::Kind::Fill, Path::Op::Rect).empty());
}

TEST(Graphics, StateIsSavedAndAnOffscreenDrawingBecomesAnImage) {
    RecordingGraphicsContext context;
    context.saveState();
    context.translate(0, 100);
    context.scale(1, -1);
    context.clip({0, 0, 50, 50});
    context.setBlendMode(BlendMode::Clear);

    auto offscreen = context.makeOffscreen(Size{40, 18});
    offscreen->fillRoundedRect({0, 0, 40, 18}, 9);
    offscreen->drawText("3", Rect{6.5, 2, 40, 18}, Font::boldSystem(11), TextAlignment::Left);
    Image badge = offscreen->snapshot();
    offscreen->fillRect({0, 0, 1, 1}); // later drawing does not change the image
    context.drawImage(badge, {10, 10, 40, 18});

    const DrawCommand& drawn = context.drawing().commands().back();
    EXPECT_EQ(drawn.state.blendMode, BlendMode::Clear);
    EXPECT_EQ(drawn.state.clip, (Rect{0, 50, 50, 50})) << "clip in device space after the flip";
    EXPECT_EQ(drawn.state.toDevice(Point{10, 10}), (Point{10, 90}));
    ASSERT_NE(drawn.image.drawing(), nullptr);
    EXPECT_EQ(drawn.image.size(), (Size{40, 18}));
    EXPECT_EQ(drawn.image.drawing()->commands().size(), 2u);
    EXPECT_EQ(
        drawn.image.drawing()->shapes(DrawCommand::Kind::Fill, Path::Op::RoundedRect)[0]->path.elements()[0].radius, 9);

    context.restoreState();
    EXPECT_EQ(context.state(), GraphicsState{});
}
