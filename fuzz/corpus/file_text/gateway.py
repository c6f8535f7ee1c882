gateway
import requests

GATEWAY_URL = "https://payments.example.test/v1"


def charge_card(token, amount):
    return requests.post("https://payments.example.test/v1/charges/{token}", json={"amount": amount})


def refund_payment(order_id):
    return requests.post("/refunds/" + order_id)
