#pragma once

#include <QString>

#include <optional>

// The page information of the last catalogue reply: the five values of its `pageinfo`, kept
// as the service sent them.
struct CataloguePageInfo {
    QString pageCount; // value 0
    QString unread;    // value 1, not used by the reader
    QString current;   // value 2
    QString previous;  // value 3
    QString next;      // value 4

    // "25,500,3,2,4" → the five values; nullopt when fewer than five.
    static std::optional<CataloguePageInfo> parse(const QString& pageinfo);
    // Label6: "3/25".
    QString label() const { return current + QLatin1Char('/') + pageCount; }
};

// What one paging control does: request a page, refuse with a message, or nothing at all
// (before any page information exists).
struct PagingStep {
    enum class Kind { Nothing, Request, Refuse };
    Kind kind = Kind::Nothing;
    QString page;    // Request: the value sent as "&page="
    QString message; // Refuse

    static PagingStep request(const QString& page) { return {Kind::Request, page, {}}; }
    static PagingStep refuse(const QString& message) { return {Kind::Refuse, {}, message}; }
};

// The rules of the catalogue's paging labels and of "Go", on the last page information.
namespace CataloguePaging {

using Info = std::optional<CataloguePageInfo>;

PagingStep first(const Info& info);    // Label2 "首页"
PagingStep previous(const Info& info); // Label3 "上一页", also the Left key in the list
PagingStep next(const Info& info);     // Label4 "下一页", also the Right key in the list
PagingStep last(const Info& info);     // Label5 "最后页"
// Command3 "Go" with the text of the page-number box Text2.
PagingStep go(const Info& info, const QString& boxText);

} // namespace CataloguePaging
