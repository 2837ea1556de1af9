/// @file
/// Names of the common events: VeltoSDK::Event.
#pragma once

#include <VeltoSDK/export.h>

namespace VeltoSDK {

/// Names of the common events, to pass to Velto::fireEvent(). Any other text is an equally
/// valid event name: the library treats these like any other. Constants only, never changed.
class VELTOSDK_API Event {
public:
    /// The event name "PageView".
    static constexpr const char* PAGE_VIEW = "PageView";
    /// The event name "LandingPage".
    static constexpr const char* LANDING_PAGE = "LandingPage";
    /// The event name "ItemView".
    static constexpr const char* ITEM_VIEW = "ItemView";
    /// The event name "AddToCart".
    static constexpr const char* ADD_TO_CART = "AddToCart";
    /// The event name "InitiateCheckout".
    static constexpr const char* INITIATE_CHECKOUT = "InitiateCheckout";
    /// The event name "AddPaymentInfo".
    static constexpr const char* ADD_PAYMENT_INFO = "AddPaymentInfo";
    /// The event name "Purchase".
    static constexpr const char* PURCHASE = "Purchase";
    /// The event name "Lead".
    static constexpr const char* LEAD = "Lead";
};

}  // namespace VeltoSDK
