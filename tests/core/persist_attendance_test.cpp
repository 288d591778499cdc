#include "core/records/Attendance.h"

#include "PersistTestSupport.h"

#include <gtest/gtest.h>

namespace tavlo {
namespace {

using test::ParsedRequest;

Attendance onTheClock() {
    Attendance a;
    a.setRemoteId("3170000000000000009");
    a.setUserId("u1");
    a.setRoleId("server");
    a.setHourlyWage(1250);
    a.setStart(Date(1700000000));
    a.setStartNote("Forgot to clock in");
    a.setStartForcedBy("mgr");
    return a;
}

void clockOut(Attendance& a) {
    a.setEnd(Date(1700030000));
    a.setEndNote("Left early");
    a.setEndReconciled(Date(1700029000));
    a.setEndReconciledBy("mgr");
    a.setGrossSales(123400);
    a.setTax(9872);
    a.setTipsCash(2000);
    a.setTipsNonCash(3150);
    a.setTipOut(500);
}

TEST(PersistAttendance, DocumentOfAShiftOnTheClock) {
    Attendance a = onTheClock();
    ParsedRequest doc(a.toXml("10.0.0.9"));
    ASSERT_TRUE(doc.record);
    EXPECT_TRUE(XmlHelper::isElementNamed(doc.root, "tavloRequest"));
    EXPECT_TRUE(XmlHelper::isElementNamed(doc.record, "attendance"));
    ASSERT_TRUE(doc.doc->intSubset);
    EXPECT_STREQ(reinterpret_cast<const char*>(doc.doc->intSubset->SystemID), "storeData.dtd");
    EXPECT_EQ(doc.attribute("id"), "-1") << "no server id yet";
    EXPECT_EQ(doc.attribute("remoteId"), a.remoteId());
    EXPECT_EQ(test::childNames(doc.record),
              (std::vector<std::string>{"userId", "startTime", "startForcedById", "startForcedReason", "roleId",
                                        "cashTips", "nonCashTips", "tipOut", "hourlyWages", "grossSales", "taxAmount",
                                        "printerConnType", "printerUrl"}));
    EXPECT_EQ(doc.text("startTime"), "1700000000000");
    EXPECT_EQ(doc.text("hourlyWages"), "1250");
    EXPECT_EQ(doc.text("printerConnType"), "TCP/IP");
    EXPECT_EQ(doc.text("printerUrl"), "10.0.0.9");
}

TEST(PersistAttendance, EndedShiftSurvivesAnXmlRoundTrip) {
    Attendance sent = onTheClock();
    sent.setAttendanceId("88");
    clockOut(sent);
    ParsedRequest doc(sent.toXml());
    ASSERT_TRUE(doc.record);
    EXPECT_EQ(
        test::childNames(doc.record),
        (std::vector<std::string>{"userId", "startTime", "endTime", "startForcedById", "startForcedReason",
                                  "endReconciledTime", "endReconciledById", "endReconciledNote", "roleId", "cashTips",
                                  "nonCashTips", "tipOut", "hourlyWages", "grossSales", "taxAmount"}));
    Attendance got;
    got.read(doc.record, doc.doc.get());
    EXPECT_EQ(got.attendanceId(), "88");
    EXPECT_EQ(got.remoteId(), sent.remoteId());
    EXPECT_EQ(got.userId(), sent.userId());
    EXPECT_EQ(got.roleId(), sent.roleId());
    EXPECT_EQ(got.start(), sent.start());
    EXPECT_EQ(got.startNote(), sent.startNote());
    EXPECT_EQ(got.startForcedBy(), sent.startForcedBy());
    EXPECT_EQ(got.end(), sent.end());
    EXPECT_EQ(got.endNote(), sent.endNote());
    EXPECT_EQ(got.endReconciled(), sent.endReconciled());
    EXPECT_EQ(got.endReconciledBy(), sent.endReconciledBy());
    EXPECT_EQ(got.hourlyWage(), 1250);
    EXPECT_EQ(got.grossSales(), 123400);
    EXPECT_EQ(got.tax(), 9872);
    EXPECT_EQ(got.tipsCash(), 2000);
    EXPECT_EQ(got.tipsNonCash(), 3150);
    EXPECT_EQ(got.tipOut(), 500);
}

TEST(PersistAttendance, ServerTimesAreWholeSecondsAndAbsentFiguresStay) {
    XmlDocPtr doc = XmlHelper::parse("<attendance id=\"5\"><userId>u1</userId><startTime>1700000000789</startTime>"
                                     "<endTime>4102444800000</endTime></attendance>");
    ASSERT_TRUE(doc);
    Attendance a;
    a.setTipsCash(700);
    a.read(xmlDocGetRootElement(doc.get()), doc.get());
    EXPECT_EQ(a.start(), Date(1700000000)) << "the milliseconds are dropped";
    EXPECT_EQ(a.end(), Date(4102444800.0)) << "2100 reads past 32-bit seconds";
    EXPECT_EQ(a.tipsCash(), 700) << "no cashTips: unchanged";
}

TEST(PersistAttendance, StoringKeepsTheClockInAndAddsTheFiguresAtClockOut) {
    test::LocalStoreScope store;
    ObjectContext& context = *store.context();
    test::addUser(context, "u1");
    test::addUser(context, "mgr");
    test::addRow(context, "Role", "roleId", "server");
    test::addRow(context, "Role", "roleId", "host");
    store.save();

    Attendance shift = onTheClock();
    shift.setGrossSales(999); // not stored while on the clock
    shift.write(context);
    store.save();
    ManagedObjectPtr row = store->fetchFirst("Attendance", "remoteId == %@", *shift.remoteId());
    ASSERT_TRUE(row);
    EXPECT_EQ(row->int32("grossSales"), 0);
    EXPECT_TRUE(row->isNil("end"));

    Attendance later = onTheClock();
    later.setUserId("mgr");
    later.setRoleId("host");
    later.setHourlyWage(9999);
    later.setStart(Date(1700000500));
    clockOut(later);
    later.write(context);
    store.save();

    auto other = test::otherContext(store);
    ASSERT_EQ(other->fetchAll("Attendance").size(), 1u);
    Attendance got(other->fetchFirst("Attendance", "remoteId == %@", *shift.remoteId()));
    EXPECT_EQ(got.userId(), "u1") << "user, role, wage and start stay as first stored";
    EXPECT_EQ(got.roleId(), "server");
    EXPECT_EQ(got.hourlyWage(), 1250);
    EXPECT_EQ(got.start(), Date(1700000000));
    EXPECT_EQ(got.startForcedBy(), "mgr");
    EXPECT_EQ(got.end(), later.end());
    EXPECT_EQ(got.endNote(), later.endNote());
    EXPECT_EQ(got.endReconciled(), later.endReconciled());
    EXPECT_EQ(got.endReconciledBy(), "mgr");
    EXPECT_EQ(got.grossSales(), 123400);
    EXPECT_EQ(got.tipOut(), 500);
    EXPECT_EQ(got.created(), shift.created());
}

TEST(PersistAttendance, TheServersCopyOfAShiftMadeHereUpdatesItsRow) {
    test::LocalStoreScope store;
    ObjectContext& context = *store.context();
    test::addUser(context, "u1");
    test::addUser(context, "mgr");
    test::addRow(context, "Role", "roleId", "server");
    store.save();

    Attendance made = onTheClock();
    made.write(context);
    store.save();

    // The store load reads the shift back with the server's id beside ours, now ended.
    Attendance answer = onTheClock();
    answer.setAttendanceId("88");
    clockOut(answer);
    answer.write(context);
    store.save();
    // Later loads find it by the server's id alone.
    Attendance later = answer;
    later.setRemoteId(std::nullopt);
    later.setTipOut(650);
    later.write(context);
    // A shift of another terminal is a row of its own.
    Attendance elsewhere = onTheClock();
    elsewhere.setAttendanceId("89");
    elsewhere.setRemoteId("3170000000000000077");
    elsewhere.write(context);
    store.save();

    auto other = test::otherContext(store);
    ASSERT_EQ(other->fetchAll("Attendance").size(), 2u);
    Attendance got(other->fetchFirst("Attendance", "attendanceId == %@", std::string("88")));
    EXPECT_EQ(got.remoteId(), made.remoteId());
    EXPECT_EQ(got.created(), made.created()) << "the row made here";
    EXPECT_EQ(got.end(), answer.end());
    EXPECT_EQ(got.grossSales(), 123400);
    EXPECT_EQ(got.tipOut(), 650);
}

} // namespace
} // namespace tavlo
