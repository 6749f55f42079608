#include "gui/widgets/planpreparationdialog.h"
#include "plans/syntheticplan.h"

#include <QCheckBox>
#include <QSlider>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPlanPreparationDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The dialog starts where the batch tool's preparation stands, and what it returns follows
    // the controls as they are when the user confirms, even before the preview caught up.
    void startsAtDefaultsAndFollowsTheControls()
    {
        SyntheticTraits traits;
        traits.jpegQuality = 60;
        const QImage source = makeSyntheticPlan(traits, QSize(1190, 910)).image;
        PlanPreparation reference(source);
        PlanPreparationDialog dialog(source, u"почему"_s);
        QCOMPARE(dialog.options(), reference.defaults());
        auto *wallsOnly = dialog.findChild<QCheckBox *>(u"wallsOnly"_s);
        QVERIFY(wallsOnly->isChecked());
        QCOMPARE(dialog.result(), reference.prepare(reference.defaults()));

        wallsOnly->setChecked(false);
        dialog.findChild<QSlider *>(u"threshold"_s)->setValue(90);
        PreparationOptions changed = reference.defaults();
        changed.wallsOnly = false;
        changed.threshold = 90;
        QCOMPARE(dialog.options(), changed);
        QCOMPARE(dialog.result(), reference.prepare(changed));
    }
};

QTEST_MAIN(TestPlanPreparationDialog)
#include "tst_planpreparationdialog.moc"
