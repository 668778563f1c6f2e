#include "conditions/Condition.h"

#include "store/PropertyNode.h"

// Every stored kind writes its type first; the subclasses add their payload after it.
bool KVCondition::Save(KVPropertyNode& entry) const {
    entry.addChild("Type", m_type);
    return true;
}
