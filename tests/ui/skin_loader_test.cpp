// SPDX-License-Identifier: GPL-2.0-or-later
// Our skin reader and builder against Qt's own loader: every skin of the
// resource folder is built by both and the two widget trees must agree. Then
// the reader's behaviour on damaged and hostile files.
#include <QAbstractButton>
#include <QBoxLayout>
#include <QComboBox>
#include <QCursor>
#include <QDirIterator>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QMetaProperty>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QUiLoader>

#include <algorithm>
#include <iterator>
#include <memory>

#include "ui/controls.h"
#include "ui/qt_env.h"
#include "ui/skin_loader.h"
#include "ui/skin_parser.h"
#include "ui/startup_warmup.h"
#include "ui/widgets.h"

namespace vantorel::ui {
namespace {

using test::pump;
using test::ScratchResources;

// Qt's loader with the handling our program had around it: the classes of
// ours, included skins, "hidden", the texts of the language.
class QtLoader : public QUiLoader {
public:
    QWidget* createWidget(const QString& class_name, QWidget* parent, const QString& name) override {
        QWidget* w = nullptr;
        if (class_name == QLatin1String("SvgImage")) w = new SvgImage(parent);
        else if (class_name == QLatin1String("ColorPalette")) w = new ColorPalette(parent);
        else if (class_name == QLatin1String("ElidingButton")) w = new ElidingButton(parent);
        else if (class_name == QLatin1String("QLabel")) w = new Label(parent);
        if (!w) return QUiLoader::createWidget(class_name, parent, name);
        w->setObjectName(name);
        return w;
    }
};

QWidget* qt_load(const QString& skin_file, QWidget* parent, int depth = 0) {
    ResourceManager& rm = ResourceManager::instance();
    QFile file(rm.path(skin_file));
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    QtLoader loader;
    loader.setWorkingDirectory(QDir(rm.resource_path()));
    QWidget* root = loader.load(&file, parent);
    if (!root) return nullptr;
    QList<QWidget*> targets;
    if (!root->property("include").toString().isEmpty()) targets << root;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->property("include").toString().isEmpty()) targets << w;
    }
    for (QWidget* target : targets) {
        const QString sub = target->property("include").toString();
        target->setProperty("include", QVariant());
        target->setProperty("includeLater", QVariant());
        if (depth >= 8) continue;
        QWidget* child = qt_load(sub, target, depth + 1);
        if (!child) continue;
        auto* layout = target->layout();
        if (!layout) {
            auto* box = new QVBoxLayout(target);
            box->setContentsMargins(0, 0, 0, 0);
            box->setSpacing(0);
            layout = box;
        }
        layout->addWidget(child);
    }
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->property("hidden").toBool()) w->setVisible(false);
    }
    // A skin's own style sheet, as the page used to load it once built.
    if (const QString sheet = root->property("styleSheetFile").toString(); !sheet.isEmpty()) {
        root->setProperty("styleSheetFile", QVariant());
        QFile qss(rm.path(sheet));
        if (qss.open(QIODevice::ReadOnly)) root->setStyleSheet(QString::fromUtf8(qss.readAll()));
    }
    if (depth == 0) ApplyResourceTexts(root);
    return root;
}

// Values of types without a usable operator== compared by what shows.
QString describe(const QVariant& v) {
    if (v.metaType() == QMetaType::fromType<QIcon>()) {
        const QIcon icon = v.value<QIcon>();
        return icon.isNull() ? QStringLiteral("icon:none") : QStringLiteral("icon:%1").arg(icon.availableSizes().size());
    }
    if (v.metaType() == QMetaType::fromType<QPixmap>()) {
        const QPixmap p = v.value<QPixmap>();
        return QStringLiteral("pixmap:%1x%2").arg(p.width()).arg(p.height());
    }
    if (v.metaType() == QMetaType::fromType<QCursor>()) return QStringLiteral("cursor:%1").arg(v.value<QCursor>().shape());
    return {};
}

class TreeCompare {
public:
    QStringList differences;

    void widgets(const QWidget* ours, const QWidget* theirs, const QString& path) {
        const QString here = path + u'/' + theirs->objectName();
        expect(here, "class", QString::fromLatin1(ours->metaObject()->className()),
               QString::fromLatin1(theirs->metaObject()->className()));
        expect(here, "name", ours->objectName(), theirs->objectName());
        expect(here, "hidden", ours->isHidden(), theirs->isHidden());
        expect(here, "visible", ours->isVisible(), theirs->isVisible());
        properties(ours, theirs, here);
        if (ours->layout() || theirs->layout()) {
            if (!ours->layout() || !theirs->layout()) differences << here + QStringLiteral(": layout on one side only");
            else layouts(ours->layout(), theirs->layout(), here);
        }
        if (const auto* combo = qobject_cast<const QComboBox*>(theirs)) {
            const auto* our_combo = qobject_cast<const QComboBox*>(ours);
            for (int i = 0; our_combo && i < combo->count(); ++i) expect(here, "item", our_combo->itemText(i), combo->itemText(i));
        }
        // A combo box makes its popup when first styled; that is Qt's own.
        if (qobject_cast<const QComboBox*>(theirs)) return;
        const auto our_children = ours->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        const auto their_children = theirs->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        expect(here, "child count", our_children.size(), their_children.size());
        for (qsizetype i = 0; i < std::min(our_children.size(), their_children.size()); ++i) {
            widgets(our_children[i], their_children[i], here);
        }
    }

private:
    template <class T>
    void expect(const QString& where, const char* what, const T& ours, const T& theirs) {
        if (ours == theirs) return;
        QString a, b;
        QDebug(&a) << ours;
        QDebug(&b) << theirs;
        differences << QStringLiteral("%1: %2 is %3, Qt's loader made %4").arg(where, QLatin1String(what), a, b);
    }

    // Every property Qt knows for the class, and every dynamic one.
    void properties(const QObject* ours, const QObject* theirs, const QString& where) {
        const QMetaObject* mo = theirs->metaObject();
        for (int i = 0; i < mo->propertyCount(); ++i) {
            const QMetaProperty p = mo->property(i);
            // Which of the two windows is active and has focus depends on the
            // order they were shown in.
            if (!p.isReadable() || !qstrcmp(p.name(), "isActiveWindow") || !qstrcmp(p.name(), "focus") ||
                !qstrcmp(p.name(), "childrenRegion")) {
                continue;
            }
            // A hidden widget (a stack's other pages) is laid out when shown;
            // until then its sizes depend on when the loader styled it, and
            // so do the ranges of the scroll bars Qt made for it.
            const auto* widget = theirs->isWidgetType() ? static_cast<const QWidget*>(theirs) : nullptr;
            if (widget && !widget->isVisible() && widget->objectName().isEmpty() && widget->parentWidget() &&
                widget->parentWidget()->objectName().startsWith(QLatin1String("qt_"))) {
                return;
            }
            if (!widget || !widget->isVisible()) {
                static const char* const placement[] = {"geometry", "frameGeometry", "normalGeometry", "pos", "size",
                                                        "frameSize", "rect", "frameRect", "x", "y", "width", "height",
                                                        "childrenRect", "sizeHint", "minimumSizeHint"};
                if (std::any_of(std::begin(placement), std::end(placement), [&](const char* n) { return !qstrcmp(n, p.name()); })) continue;
            }
            const QVariant a = p.read(ours);
            const QVariant b = p.read(theirs);
            const QString da = describe(a), db = describe(b);
            if (!db.isEmpty()) expect(where, p.name(), da, db);
            else if (a != b) expect(where, p.name(), a, b);
        }
        expect(where, "dynamic properties", ours->dynamicPropertyNames(), theirs->dynamicPropertyNames());
        for (const QByteArray& name : theirs->dynamicPropertyNames()) {
            expect(where, name.constData(), ours->property(name.constData()), theirs->property(name.constData()));
        }
    }

    void layouts(const QLayout* ours, const QLayout* theirs, const QString& path) {
        const QString here = path + QStringLiteral("/[") + theirs->objectName() + u']';
        expect(here, "layout class", QString::fromLatin1(ours->metaObject()->className()),
               QString::fromLatin1(theirs->metaObject()->className()));
        expect(here, "layout name", ours->objectName(), theirs->objectName());
        expect(here, "margins", ours->contentsMargins(), theirs->contentsMargins());
        expect(here, "spacing", ours->spacing(), theirs->spacing());
        const bool shown = !theirs->parentWidget() || theirs->parentWidget()->isVisible();
        if (shown) expect(here, "geometry", ours->geometry(), theirs->geometry());
        if (const auto* grid = qobject_cast<const QGridLayout*>(theirs)) {
            const auto* our_grid = qobject_cast<const QGridLayout*>(ours);
            if (!our_grid) return;
            expect(here, "horizontal spacing", our_grid->horizontalSpacing(), grid->horizontalSpacing());
            expect(here, "vertical spacing", our_grid->verticalSpacing(), grid->verticalSpacing());
            for (int i = 0; i < grid->count(); ++i) {
                int r1, c1, rs1, cs1, r2, c2, rs2, cs2;
                grid->getItemPosition(i, &r2, &c2, &rs2, &cs2);
                if (i >= our_grid->count()) break;
                our_grid->getItemPosition(i, &r1, &c1, &rs1, &cs1);
                expect(here, "grid cell", QRect(c1, r1, cs1, rs1), QRect(c2, r2, cs2, rs2));
            }
        }
        const auto* box = qobject_cast<const QBoxLayout*>(theirs);
        const auto* our_box = qobject_cast<const QBoxLayout*>(ours);
        expect(here, "item count", ours->count(), theirs->count());
        for (int i = 0; i < std::min(ours->count(), theirs->count()); ++i) {
            QLayoutItem* a = ours->itemAt(i);
            QLayoutItem* b = theirs->itemAt(i);
            const QString item = here + QStringLiteral("#%1").arg(i);
            if (box && our_box) expect(item, "stretch", our_box->stretch(i), box->stretch(i));
            expect(item, "alignment", int(a->alignment()), int(b->alignment()));
            if (b->widget() ? b->widget()->isVisible() : shown) expect(item, "item geometry", a->geometry(), b->geometry());
            expect(item, "kind", a->widget() ? 1 : a->layout() ? 2 : a->spacerItem() ? 3 : 0,
                   b->widget() ? 1 : b->layout() ? 2 : b->spacerItem() ? 3 : 0);
            if (a->widget() && b->widget()) expect(item, "widget", a->widget()->objectName(), b->widget()->objectName());
            if (a->spacerItem() && b->spacerItem()) {
                expect(item, "spacer hint", a->sizeHint(), b->sizeHint());
                expect(item, "spacer policy", a->spacerItem()->sizePolicy(), b->spacerItem()->sizePolicy());
            }
            if (a->layout() && b->layout()) layouts(a->layout(), b->layout(), here);
        }
    }
};

QStringList skin_files() {
    QStringList files;
    const QDir res(test::source_res());
    QDirIterator it(res.path(), {QStringLiteral("*.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly) && f.read(4096).contains("<ui ")) files << res.relativeFilePath(path);
    }
    files.sort();
    return files;
}

class SkinFiles : public ::testing::TestWithParam<QString> {};

TEST_P(SkinFiles, BuildTheSameTreeAsQtsLoader) {
    const QString file = GetParam();
    std::unique_ptr<QWidget> ours(SkinLoader::load(file, nullptr));
    std::unique_ptr<QWidget> theirs(qt_load(file, nullptr));
    ASSERT_TRUE(ours);
    ASSERT_TRUE(theirs);
    for (QWidget* w : {ours.get(), theirs.get()}) {
        w->resize(1000, 720);
        w->show();
    }
    pump();
    TreeCompare compare;
    compare.widgets(ours.get(), theirs.get(), QString());
    EXPECT_TRUE(compare.differences.isEmpty()) << qPrintable(compare.differences.mid(0, 30).join(u'\n'));
}

TEST_P(SkinFiles, ReadBackWhatTheWriterWrites) {
    QFile f(test::source_res() + u'/' + GetParam());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const skin::ParseResult first = skin::parse(f.readAll());
    ASSERT_TRUE(first.ok) << qPrintable(first.error);
    EXPECT_TRUE(first.skipped.isEmpty()) << qPrintable(first.skipped.join(u' '));
    const skin::ParseResult again = skin::parse(skin::write(first.document));
    ASSERT_TRUE(again.ok) << qPrintable(again.error);
    EXPECT_TRUE(again.document == first.document);
}

INSTANTIATE_TEST_SUITE_P(Res, SkinFiles, ::testing::ValuesIn(skin_files()), [](const auto& param_info) {
    QString name = param_info.param;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
    return name.toStdString();
});

// The reader on files it must refuse or cut down.
QByteArray nested_widgets(int depth) {
    QByteArray xml = "<ui version=\"4.0\">";
    for (int i = 0; i < depth; ++i) xml += "<widget class=\"QWidget\" name=\"w" + QByteArray::number(i) + "\">";
    for (int i = 0; i < depth; ++i) xml += "</widget>";
    return xml + "</ui>";
}

struct ParseCase {
    const char* name;
    QByteArray xml;
    bool ok;
    const char* error_part;  // in the error when !ok
};

TEST(SkinParser, RefusesWhatIsNotASkin) {
    const ParseCase cases[] = {
        {"empty", "", false, ""},
        {"not xml", "\x00\xff garbage <<", false, ""},
        {"unclosed", "<ui><widget class=\"QWidget\" name=\"a\">", false, ""},
        {"other root", "<Language><Text key=\"a\">b</Text></Language>", false, "not <ui>"},
        {"no widget", "<ui version=\"4.0\"><class>x</class></ui>", false, "no root widget"},
        {"too deep", nested_widgets(skin::kMaxDepth + 2), false, "deeper"},
        {"very deep", nested_widgets(20000), false, "deeper"},
        {"just deep enough", nested_widgets(skin::kMaxDepth - 1), true, ""},
    };
    for (const ParseCase& c : cases) {
        const skin::ParseResult r = skin::parse(c.xml);
        EXPECT_EQ(r.ok, c.ok) << c.name << ": " << qPrintable(r.error);
        if (!c.ok) {
            EXPECT_TRUE(r.error.contains(QLatin1String(c.error_part))) << c.name << ": " << qPrintable(r.error);
        }
    }
}

TEST(SkinParser, ClampsNumbersAndSkipsWhatItDoesNotKnow) {
    const skin::ParseResult r = skin::parse(R"(<ui version="4.0"><widget class="QWidget" name="root">
      <property name="minimumSize"><size><width>99999999999</width><height>-5</height></size></property>
      <property name="windowOpacity"><double>nan</double></property>
      <property name="palette"><palette/></property>
      <property name="cursor"><cursorShape>Qt::PointingHandCursor</cursorShape></property>
      <zorder>x</zorder>
      <layout class="QGridLayout" name="g">
        <item row="2147483647" column="-4" rowspan="0" colspan="99999"><widget class="QLabel" name="l"/></item>
        <item row="1"/>
      </layout></widget><unknown/></ui>)");
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    const skin::Node& root = r.document.root;
    ASSERT_EQ(root.properties.size(), 2u);  // the NaN and the palette are left out
    EXPECT_EQ(root.properties[0].value.w, skin::kMaxSize);
    EXPECT_EQ(root.properties[0].value.h, 0);
    EXPECT_EQ(root.properties[1].value.text, QStringLiteral("Qt::PointingHandCursor"));
    ASSERT_EQ(root.children.size(), 1u);
    ASSERT_EQ(root.children[0].children.size(), 1u);
    const skin::Node& label = root.children[0].children[0];
    EXPECT_EQ(label.row, skin::kMaxGridIndex);
    EXPECT_EQ(label.column, 0);
    EXPECT_EQ(label.row_span, 1);
    EXPECT_EQ(label.column_span, skin::kMaxGridIndex);
    for (const char* note : {"widget/zorder", "ui/unknown", "property/palette"}) {
        EXPECT_TRUE(r.skipped.contains(QLatin1String(note))) << note << " in " << qPrintable(r.skipped.join(u' '));
    }
}

// The builder on skins with parts it cannot build, and skins that include
// each other.
class SkinBuilder : public ::testing::Test {
protected:
    ScratchResources res;
};

TEST_F(SkinBuilder, LeavesOutWhatItCannotBuildAndKeepsTheRest) {
    res.write(QStringLiteral("odd.xml"), R"(<ui version="4.0"><widget class="QWidget" name="root">
      <layout class="QGridLayout" name="g">
        <item row="0" column="0"><widget class="QNoSuchWidget" name="gone"><widget class="QLabel" name="inside"/></widget></item>
        <item row="0" column="1"><widget class="QPushButton" name="kept">
          <property name="text"><string>ok</string></property>
          <property name="focusPolicy"><enum>Qt::NoSuchPolicy</enum></property>
          <property name="checkable"><bool>maybe</bool></property></widget></item>
        <item row="1" column="0" colspan="2"><layout class="QNoSuchLayout" name="l2"/></item>
        <item row="2" column="0"><spacer name="s"><property name="orientation"><enum>Qt::Vertical</enum></property></spacer></item>
      </layout></widget></ui>)");
    std::unique_ptr<QWidget> root(SkinLoader::load(QStringLiteral("odd.xml"), nullptr));
    ASSERT_TRUE(root);
    EXPECT_EQ(root->findChild<QWidget*>(QStringLiteral("gone")), nullptr);
    EXPECT_EQ(root->findChild<QWidget*>(QStringLiteral("inside")), nullptr);
    auto* kept = root->findChild<QPushButton*>(QStringLiteral("kept"));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->text(), QStringLiteral("ok"));
    EXPECT_EQ(kept->focusPolicy(), QPushButton().focusPolicy());
    EXPECT_FALSE(kept->isCheckable());
    EXPECT_EQ(root->layout()->count(), 2);  // the button and the spacer
}

TEST_F(SkinBuilder, IncludeLoopsStopAtTheDepthLimit) {
    res.write(QStringLiteral("loop_a.xml"), R"(<ui version="4.0"><widget class="QWidget" name="a">
      <layout class="QVBoxLayout" name="la"><item><widget class="QWidget" name="a_host">
      <property name="include" stdset="0"><string>loop_b.xml</string></property></widget></item></layout></widget></ui>)");
    res.write(QStringLiteral("loop_b.xml"), R"(<ui version="4.0"><widget class="QWidget" name="b">
      <property name="include" stdset="0"><string>loop_a.xml</string></property></widget></ui>)");
    std::unique_ptr<QWidget> root(SkinLoader::load(QStringLiteral("loop_a.xml"), nullptr));
    ASSERT_TRUE(root);
    // a, then b inside a_host, then a inside b, ...: nine files deep at most.
    const int as = static_cast<int>(root->findChildren<QWidget*>(QStringLiteral("a")).size()) + 1;
    const int bs = static_cast<int>(root->findChildren<QWidget*>(QStringLiteral("b")).size());
    EXPECT_EQ(as + bs, 9);
    for (QWidget* w : root->findChildren<QWidget*>()) EXPECT_FALSE(w->property("include").isValid());
}

// An include marked for later is left out and listed when the caller asks
// for that, built with the skin otherwise; built later it is the same.
TEST_F(SkinBuilder, IncludeLaterWaitsOnlyWhenTheCallerAsks) {
    res.write(QStringLiteral("host.xml"), R"(<ui version="4.0"><widget class="QWidget" name="host">
      <layout class="QVBoxLayout" name="l">
        <item><widget class="QWidget" name="now"><property name="include" stdset="0"><string>part.xml</string></property></widget></item>
        <item><widget class="QWidget" name="later">
          <property name="includeLater" stdset="0"><bool>true</bool></property>
          <property name="include" stdset="0"><string>part.xml</string></property></widget></item>
      </layout></widget></ui>)");
    res.write(QStringLiteral("part.xml"), R"(<ui version="4.0"><widget class="QWidget" name="part">
      <layout class="QVBoxLayout" name="pl"><item><widget class="QLabel" name="label">
        <property name="textKey" stdset="0"><string>apply_text</string></property></widget></item></layout></widget></ui>)");
    auto parts_in = [](QWidget* root, const char* container) {
        return root->findChild<QWidget*>(QString::fromLatin1(container))->findChildren<QLabel*>().size();
    };
    std::unique_ptr<QWidget> eager(SkinLoader::load(QStringLiteral("host.xml"), nullptr));
    ASSERT_TRUE(eager);
    EXPECT_EQ(parts_in(eager.get(), "now"), 1);
    EXPECT_EQ(parts_in(eager.get(), "later"), 1);

    std::vector<SkinLoader::Pending> pending;
    std::unique_ptr<QWidget> lazy(SkinLoader::load(QStringLiteral("host.xml"), nullptr, &pending));
    ASSERT_TRUE(lazy);
    EXPECT_EQ(parts_in(lazy.get(), "now"), 1);
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].target, lazy->findChild<QWidget*>(QStringLiteral("later")));
    EXPECT_EQ(pending[0].file, QStringLiteral("part.xml"));
    EXPECT_EQ(parts_in(lazy.get(), "later"), 0);
    QWidget* part = SkinLoader::include(pending[0].file, pending[0].target);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(pending[0].target->layout()->indexOf(part), 0);
    EXPECT_EQ(part->findChild<QLabel*>()->text(), eager->findChild<QLabel*>()->text());
    EXPECT_FALSE(part->findChild<QLabel*>()->text().isEmpty());
}

// Skin files read ahead at start are built as read from the disk, each
// copy once: a later build reads the file again; what the warm-up could not
// read the loader reports as before.
TEST_F(SkinBuilder, SkinsReadAheadBuildAsTheFilesAndOnlyOnce) {
    res.write(QStringLiteral("host.xml"), R"(<ui version="4.0"><widget class="QWidget" name="host">
      <layout class="QVBoxLayout" name="l"><item><widget class="QWidget" name="box">
        <property name="include" stdset="0"><string>part.xml</string></property></widget></item></layout></widget></ui>)");
    const auto part = [](const char* text) {
        return QByteArray(R"(<ui version="4.0"><widget class="QLabel" name="part"><property name="text"><string>)") +
               text + "</string></property></widget></ui>";
    };
    res.write(QStringLiteral("part.xml"), part("read ahead"));
    const auto label_of = [](QWidget* root) { return root->findChild<QLabel*>(QStringLiteral("part"))->text(); };
    StartupWarmup warmup(res.path(), {QStringLiteral("host.xml"), QStringLiteral("missing.xml")});
    warmup.wait_for_fonts();
    const std::unique_ptr<QWidget> first(SkinLoader::load(QStringLiteral("host.xml"), nullptr));
    ASSERT_TRUE(first);
    EXPECT_EQ(label_of(first.get()), QStringLiteral("read ahead"));
    EXPECT_TRUE(warmup.unclaimed().isEmpty()) << qPrintable(warmup.unclaimed().join(u' '));

    res.write(QStringLiteral("part.xml"), part("changed"));
    const std::unique_ptr<QWidget> again(SkinLoader::load(QStringLiteral("host.xml"), nullptr));
    ASSERT_TRUE(again);
    EXPECT_EQ(label_of(again.get()), QStringLiteral("changed"));
    QWidget parent;
    EXPECT_EQ(SkinLoader::load(QStringLiteral("missing.xml"), &parent), nullptr);
}

TEST_F(SkinBuilder, DamagedFileGivesNoWidget) {
    res.write(QStringLiteral("broken.xml"), "<ui><widget class=\"QWidget\" name=\"r\"><layout");
    QWidget parent;
    EXPECT_EQ(SkinLoader::load(QStringLiteral("broken.xml"), &parent), nullptr);
    EXPECT_EQ(SkinLoader::load(QStringLiteral("missing.xml"), &parent), nullptr);
    EXPECT_TRUE(parent.findChildren<QWidget*>().isEmpty());
}

// A skin brings its own style sheet: its controls wear it as soon as they
// are shown; a sheet that is not there leaves the skin built and unstyled.
TEST_F(SkinBuilder, StyleSheetFileDressesTheSkinsControls) {
    res.write(QStringLiteral("page.qss"), "QLabel[skinClass=\"value\"] { color: #ff0000; }");
    res.write(QStringLiteral("page.xml"), R"(<ui version="4.0"><widget class="QWidget" name="page">
      <property name="styleSheetFile" stdset="0"><string>page.qss</string></property>
      <layout class="QVBoxLayout" name="l"><item><widget class="QLabel" name="value">
        <property name="skinClass" stdset="0"><string>value</string></property>
        <property name="text"><string>1600</string></property></widget></item></layout></widget></ui>)");
    res.write(QStringLiteral("bare.xml"), R"(<ui version="4.0"><widget class="QWidget" name="bare">
      <property name="styleSheetFile" stdset="0"><string>nowhere.qss</string></property>
      <layout class="QVBoxLayout" name="l"><item><widget class="QLabel" name="value"/></item></layout></widget></ui>)");
    for (const char* file : {"page.xml", "bare.xml"}) {
        std::unique_ptr<QWidget> root(SkinLoader::load(QString::fromLatin1(file), nullptr));
        ASSERT_TRUE(root) << file;
        auto* value = root->findChild<QLabel*>(QStringLiteral("value"));
        ASSERT_NE(value, nullptr) << file;
        root->show();
        const bool styled = std::string(file) == "page.xml";
        EXPECT_EQ(value->palette().color(QPalette::WindowText) == QColor(0xff, 0, 0), styled) << file;
        EXPECT_FALSE(root->property("styleSheetFile").isValid()) << file;
    }
}

}  // namespace
}  // namespace vantorel::ui
