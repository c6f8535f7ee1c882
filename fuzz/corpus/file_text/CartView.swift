CartView
import SwiftUI
import Foundation

struct CartView: View {
    var body: some View {
        Text("Cart")
    }

    func refreshCart() {}
}
