#pragma once

#include "online/ServiceReply.h"

#include <QString>

// What a page of the online library says in place of its list when the service gave no
// answer at all; empty when an answer came (an answer of another status stays silent).
namespace ServiceNotice {

QString text(const ServiceReply& reply, const QString& serviceBase);
// Why, for the notice's tool tip.
QString reason(const ServiceReply& reply);
// The notice as a label shows it, with the "重试" link (its address is linkTarget()).
QString labelHtml(const QString& text);
QString linkTarget();

} // namespace ServiceNotice
