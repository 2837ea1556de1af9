#pragma once

#include <VeltoSDK/export.h>

namespace VeltoSDK {

// Names of the common events. Any other text is an equally valid event name.
class VELTOSDK_API Event {
public:
    static constexpr const char* PAGE_VIEW = "PageView";
    static constexpr const char* LANDING_PAGE = "LandingPage";
    static constexpr const char* ITEM_VIEW = "ItemView";
    static constexpr const char* ADD_TO_CART = "AddToCart";
    static constexpr const char* INITIATE_CHECKOUT = "InitiateCheckout";
    static constexpr const char* ADD_PAYMENT_INFO = "AddPaymentInfo";
    static constexpr const char* PURCHASE = "Purchase";
    static constexpr const char* LEAD = "Lead";
};

}  // namespace VeltoSDK
