api
const axios = require('axios');

async function loadOrders() {
  return axios.get('/api/orders');
}

module.exports = { loadOrders };
