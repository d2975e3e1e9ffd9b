#include "platform/secret_store.h"

#include <libsecret/secret.h>

#include <memory>

namespace tw {
namespace {

template <class T, void (*Free)(T*)>
struct GFree {
  void operator()(T* p) const {
    if (p) Free(p);
  }
};

void UnrefObject(GObject* object) { g_object_unref(object); }
void FreeItems(GList* items) { g_list_free_full(items, g_object_unref); }
void UnrefValue(SecretValue* value) { secret_value_unref(value); }

using ServicePtr = std::unique_ptr<GObject, GFree<GObject, UnrefObject>>;
using HashPtr = std::unique_ptr<GHashTable, GFree<GHashTable, g_hash_table_unref>>;
using ItemsPtr = std::unique_ptr<GList, GFree<GList, FreeItems>>;
using ValuePtr = std::unique_ptr<SecretValue, GFree<SecretValue, UnrefValue>>;

}  // namespace

Result<std::string> LookupSecret(const SecretAttributes& attributes) {
  GError* error = nullptr;
  // Opening a session is what lets the search load secrets; it asks the user nothing.
  ServicePtr service(
      G_OBJECT(secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error)));
  if (error) g_error_free(error);
  if (!service) return Error(err::kFileNotFound);

  HashPtr query(g_hash_table_new(g_str_hash, g_str_equal));
  for (const auto& [name, value] : attributes) {
    g_hash_table_insert(query.get(), const_cast<char*>(name.c_str()),
                        const_cast<char*>(value.c_str()));
  }
  // Without SECRET_SEARCH_UNLOCK a locked item comes back without its secret, and nobody is
  // prompted to unlock it.
  error = nullptr;
  ItemsPtr items(secret_service_search_sync(
      SECRET_SERVICE(service.get()), nullptr, query.get(),
      static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS), nullptr,
      &error));
  if (error) g_error_free(error);
  for (GList* node = items.get(); node; node = node->next) {
    ValuePtr value(secret_item_get_secret(SECRET_ITEM(node->data)));
    if (!value) continue;
    gsize length = 0;
    const gchar* bytes = secret_value_get(value.get(), &length);
    if (bytes) return std::string(bytes, length);
  }
  return Error(err::kFileNotFound);
}

}  // namespace tw
