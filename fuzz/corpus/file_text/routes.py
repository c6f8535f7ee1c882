routes
"""Order API routes for the shop backend."""
from fastapi import APIRouter
from .service import OrderService, list_open_orders
import logging

router = APIRouter()
log = logging.getLogger(__name__)


@router.get("/api/orders")
def list_orders():
    return list_open_orders()


@router.post("/api/orders/{order_id}/cancel")
async def cancel_order(order_id: str):
    log.info("cancel %s", order_id)
    return OrderService().cancel(order_id)


def _internal_helper():
    return None
