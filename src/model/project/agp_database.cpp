// The root object's databases.
#include "model/project/agp.h"
#include "model/core/data_types.h"
#include "model/entities/databases.h"

namespace velmora {

std::shared_ptr<AGPDatabase> AGP::DB() const { return db_; }

std::shared_ptr<AGPDatabase> AGP::AddMainDatabase(std::string_view name) {
    if (name.empty()) return nullptr;
    auto databases = Databases();
    if (!databases->DBExist(Variant(std::string(name)))) databases->Add(name);
    auto database = databases->Item(Variant(std::string(name)));
    if (!database) return nullptr;
    database->SetDBID("DB");
    db_ = database;
    currentDatabaseName_ = std::string(name);
    return database;
}

void AGP::DropMainDatabase() {
    db_.reset();
    currentDatabaseName_.clear();
}

std::shared_ptr<AGPDatabases> AGP::Databases() {
    if (!databases_) databases_ = std::make_shared<AGPDatabases>();
    return databases_;
}

std::int16_t AGP::DBCnt() const {
    return databases_ ? static_cast<std::int16_t>(databases_->Count()) : std::int16_t{0};
}

std::shared_ptr<AGPDatabases> AGP::LINKDBS() {
    if (!linkDatabases_) linkDatabases_ = std::make_shared<AGPDatabases>();
    return linkDatabases_;
}

std::string AGP::FldSrchOprs(std::int16_t ftype) const { return velmora::FldSrchOprs(ftype); }

void AGP::ClearDatabases() {
    db_.reset();
    if (databases_) {
        for (const auto& database : databases_->Items()) databases_->Delete(Variant(database->Key()));
    }
    currentDatabaseName_.clear();
}

}  // namespace velmora
