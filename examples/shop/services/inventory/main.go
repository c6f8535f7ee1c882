package main

import (
	"fmt"
	"net/http"
)

// StockHandler reports the stock level of one product.
func StockHandler(w http.ResponseWriter, r *http.Request) {
	fmt.Fprintln(w, "ok")
}

func main() {
	http.HandleFunc("/inventory/stock", StockHandler)
	http.ListenAndServe(":8080", nil)
}
