#include <algorithm>
#include <utility>

#include "model/controls/controls.h"
#include "platform/xml.h"

namespace velmora {
namespace {

constexpr std::pair<std::string_view, std::string AGPSession::*> kSessionAttributes[] = {
    {"type", &AGPSession::SessType},         {"value", &AGPSession::SessValue},
    {"parm", &AGPSession::SessParm},         {"ifile", &AGPSession::SessIFile},
    {"cond", &AGPSession::SessCond},         {"extension", &AGPSession::SessExt},
    {"action", &AGPSession::SessAction},     {"location", &AGPSession::SessLocation},
    {"loctype", &AGPSession::SessLocType},
};

}  // namespace

void AGPSession::Load(const XmlNode& xmlSession) {
    for (const auto& [name, member] : kSessionAttributes) this->*member = xmlSession.GetAttributeNoCase(name);
}

void AGPSessions::Load(const XmlNode& xmlControl) {
    for (const XmlNode& child : xmlControl.ChildrenNoCase("session")) {
        auto session = std::make_shared<AGPSession>();
        session->Load(child);
        sessions_.push_back(std::move(session));
    }
}

bool AGPSessions::AddSession(const AGPSession& session, std::string_view loc, std::string_view loctype) {
    auto position = sessions_.cend();
    auto anchor = FindValue(loc);
    if (anchor != sessions_.cend()) position = loctype == "after" ? anchor + 1 : anchor;
    // Parameter and placement are the merge's instructions, not part of the new session.
    auto copy = std::make_shared<AGPSession>();
    copy->SessType = session.SessType;
    copy->SessValue = session.SessValue;
    copy->SessIFile = session.SessIFile;
    copy->SessCond = session.SessCond;
    copy->SessExt = session.SessExt;
    copy->SessAction = session.SessAction;
    sessions_.insert(position, std::move(copy));
    return true;
}

bool AGPSessions::ChangeSession(std::string_view sValue, const AGPSession& session) {
    auto it = FindValue(sValue);
    if (it == sessions_.cend()) return false;
    AGPSession& target = **it;
    if (!session.SessIFile.empty()) target.SessIFile = session.SessIFile;
    if (!session.SessCond.empty()) target.SessCond = session.SessCond;
    target.SessExt = session.SessExt;
    target.SessAction = session.SessAction;
    return true;
}

bool AGPSessions::DeleteSession(std::string_view sValue) {
    auto it = FindValue(sValue);
    if (it == sessions_.cend()) return false;
    sessions_.erase(it);
    return true;
}

bool AGPSessions::SessionExist(std::string_view sValue) const { return FindValue(sValue) != sessions_.cend(); }

std::vector<std::shared_ptr<AGPSession>>::const_iterator AGPSessions::FindValue(std::string_view value) const {
    return std::find_if(sessions_.cbegin(), sessions_.cend(),
                        [&](const auto& session) { return session->SessValue == value; });
}

std::shared_ptr<AGPSession> AGPSessions::Item(std::int32_t index) const {
    if (index < 1 || index > Count()) return nullptr;
    return sessions_[static_cast<std::size_t>(index - 1)];
}

}  // namespace velmora
