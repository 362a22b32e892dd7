#pragma once
// The study table as a screen reader sees it: Qt's own table cells say
// neither that they can be edited nor that they cannot, so the table gets
// an accessible interface of its own, laid out as Qt lays out its own
// (header row and column first) so that the view's focus events still
// name the right cell.

class QAccessibleInterface;
class QObject;
class QString;

namespace kelmory {

// Installed once for every kelmory::ReviewTable.
QAccessibleInterface* TableAccessibleFactory(const QString& class_name, QObject* object);

}  // namespace kelmory
