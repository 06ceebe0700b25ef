// The extension operations' view of a project's main database.
#include "model/project/agp.h"
#include "model/entities/database.h"
#include "model/extensions/extensions.h"
#include "model/entities/field.h"
#include "model/entities/fields.h"
#include "model/entities/table.h"
#include "model/entities/tables.h"

namespace velmora {
namespace {

std::optional<CondOperand> OperandOf(AGProperties& bag, std::string_view name) {
    auto entry = bag.Find(name);
    if (!entry) return CondOperand{Variant(std::string()), {}};
    return CondOperand{entry->Value(), entry->DataType()};
}

class DatabaseExtSchema : public ExtSchema {
public:
    DatabaseExtSchema(std::string name, std::shared_ptr<AGPDatabase> db) : name_(std::move(name)), db_(std::move(db)) {}

    std::string DatabaseName() const override { return name_; }

    std::vector<std::string> LoadedTables() const override {
        std::vector<std::string> names;
        for (const auto& table : db_->Tables()->Items())
            if (table->TblLoaded()) names.push_back(table->Key());
        return names;
    }

    bool TableExists(std::string_view table) const override {
        return db_->Tables()->TableExist(Variant(std::string(table)));
    }

    std::vector<std::string> FieldNames(std::string_view table) const override {
        std::vector<std::string> names;
        if (auto t = FindTable(table))
            for (const auto& field : t->Fields()->Items()) names.push_back(field->Key());
        return names;
    }

    bool FieldExists(std::string_view table, std::string_view field) const override {
        auto t = FindTable(table);
        return t && t->Fields()->FieldExist(Variant(std::string(field)));
    }

    bool MakeCurrent(std::string_view table, std::string_view field) override {
        auto t = db_->Tables()->Item(Variant(std::string(table)));
        if (!t) return false;
        return field.empty() || t->Fields()->Item(Variant(std::string(field))) != nullptr;
    }

    std::optional<CondOperand> Attribute(CondObject object, std::string_view name) const override {
        switch (object) {
            case CondObject::Db: return OperandOf(*db_->Properties(), name);
            case CondObject::Table:
                if (auto t = CurrentTable()) return OperandOf(*t->Properties(), name);
                return std::nullopt;
            case CondObject::Field:
                if (auto t = CurrentTable())
                    if (auto f = t->Fields()->Seq(t->Fields()->curSeq())) return OperandOf(*f->Properties(), name);
                return std::nullopt;
            default: return std::nullopt;
        }
    }

private:
    std::shared_ptr<AGPTable> FindTable(std::string_view table) const {
        return db_->Tables()->Find(Variant(std::string(table)));
    }
    std::shared_ptr<AGPTable> CurrentTable() const { return db_->Tables()->Seq(db_->Tables()->curSeq()); }

    std::string name_;
    std::shared_ptr<AGPDatabase> db_;
};

}  // namespace

std::shared_ptr<ExtSchema> DatabaseSchemaOf(AGP& project) {
    auto db = project.DB();
    if (!db) return nullptr;
    return std::make_shared<DatabaseExtSchema>(project.CurrentDatabaseName(), std::move(db));
}

}  // namespace velmora
